// Bringing a window forward on X11 for a launcher. A window manager that keeps programs
// from stealing the focus activates a window only for a request as recent as the user's
// last input; a program that has had no input for hours is refused. The launcher's startup
// id carries the time of the user's request ("..._TIME<server time>"), which is what the
// request to activate the window then names.
#pragma once

#include <cstdint>
#include <string_view>

class QWidget;

namespace zanto::platform::linux_desktop {

// The X server time a startup id carries, or 0 where it carries none.
std::uint32_t StartupIdTime(std::string_view startupId);

// Asks the window manager to activate the window as the user asked at `time`. False where
// this is no X11 desktop or there is no time to name: activate the window as usual then.
bool ActivateAtUserTime(QWidget& window, std::uint32_t time);

}  // namespace zanto::platform::linux_desktop
