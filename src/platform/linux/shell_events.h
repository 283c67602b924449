// What the desktop's notification area and session hear from the outside world, handed to
// the desktop, which delivers it to the program through the message loop.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop.h"

namespace zanto::platform::linux_desktop {

// The record fields that say where an icon's callback messages go.
struct IconAddress {
  WindowId window = 0;
  std::uint32_t id = 0;
  std::uint32_t callbackMessage = 0;
  bool operator==(const IconAddress&) const = default;
};

class ShellEvents {
 public:
  virtual ~ShellEvents() = default;
  // Callback codes for the icon, in order, with the pointer where the host says it is.
  virtual void IconInput(const IconAddress& icon, std::vector<std::uint32_t> codes,
                         std::optional<Point> cursor) = 0;
  // The user chose an item of the icon's menu where the host shows it.
  virtual void IconMenuChosen(const IconAddress& icon, int command) = 0;
  // The host wants the icon's menu as it is now. Answered at once, if at all, through the
  // notification area's MenuSeen.
  virtual void IconMenuWanted(const IconAddress& icon) = 0;
  // A new notification area: the icons the old one showed are gone.
  virtual void ShellRestarted() = 0;
};

}  // namespace zanto::platform::linux_desktop
