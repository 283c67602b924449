// How the notification area's vocabulary is said on a freedesktop desktop: menu captions as
// dbusmenu labels, balloon icons as icon names, balloon texts as notification bodies, and
// the notification server's signals as the callback codes the tray component dispatches.
// Plain C++, so that the rules are tested without a bus.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zanto::platform::linux_desktop {

// A menu caption marks its access key with "&" ("&&" is a literal "&"); a dbusmenu label
// marks it with "_" ("__" is a literal "_").
std::string MenuLabel(std::string_view caption);

// The icon a notification shows for a balloon's icon kind (dwInfoFlags): names from the
// freedesktop icon naming standard, which every notification server can look up.
std::string_view BalloonIconName(std::uint32_t infoFlags);

// A notification body may be read as markup (the server's "body-markup" capability): the
// quote's own "<", ">" and "&" must stay text.
std::string EscapeMarkup(std::string_view text);

// The notification that stands for an icon's balloon, and what the server's signals about
// it mean to the tray component. A balloon is one notification at a time: a new balloon
// replaces the one on screen, as it does in the Windows notification area.
class BalloonTracker {
 public:
  // The notification a new balloon replaces; 0 when none is on screen.
  std::uint32_t ReplacesId() const { return current_; }
  // The server showed the balloon as this notification.
  void Shown(std::uint32_t id);
  // The balloon is withdrawn: the notification to close, if one is on screen. Whatever the
  // server says about it afterwards is not news to the program.
  std::optional<std::uint32_t> Withdraw();
  // ActionInvoked: a click on the balloon is NIN_BALLOONUSERCLICK.
  std::optional<std::uint32_t> ActionInvoked(std::uint32_t id, std::string_view action);
  // NotificationClosed: expired is NIN_BALLOONTIMEOUT; dismissed by the user or closed for
  // a reason the server does not say is NIN_BALLOONHIDE. The close that follows a click
  // and a close the program asked for say nothing.
  std::optional<std::uint32_t> Closed(std::uint32_t id, std::uint32_t reason);
  // The server went away, and its notifications with it.
  void Reset();

 private:
  std::uint32_t current_ = 0;
  bool clicked_ = false;
};

}  // namespace zanto::platform::linux_desktop
