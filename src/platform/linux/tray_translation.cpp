#include "platform/linux/tray_translation.h"

#include "platform/codes.h"

namespace zanto::platform::linux_desktop {

namespace {
// NotificationClosed reasons.
constexpr std::uint32_t kExpired = 1;
constexpr std::uint32_t kDismissed = 2;
constexpr std::uint32_t kUndefined = 4;
}  // namespace

std::string MenuLabel(std::string_view caption) {
  std::string label;
  label.reserve(caption.size() + 1);
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char c = caption[i];
    if (c == '_') {
      label += "__";
    } else if (c == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        label += '&';
        ++i;
      } else if (i + 1 < caption.size()) {
        label += '_';
      }
      // A lone "&" at the end marks nothing.
    } else {
      label += c;
    }
  }
  return label;
}

std::string_view BalloonIconName(std::uint32_t infoFlags) {
  switch (infoFlags & 0x0F) {
    case niif::Info:
      return "dialog-information";
    case niif::Warning:
      return "dialog-warning";
    case niif::Error:
      return "dialog-error";
    default:
      return "";
  }
}

std::string EscapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void BalloonTracker::Shown(std::uint32_t id) {
  current_ = id;
  clicked_ = false;
}

std::optional<std::uint32_t> BalloonTracker::Withdraw() {
  const std::uint32_t id = current_;
  current_ = 0;
  clicked_ = false;
  if (id == 0) return std::nullopt;
  return id;
}

std::optional<std::uint32_t> BalloonTracker::ActionInvoked(std::uint32_t id,
                                                           std::string_view action) {
  if (id == 0 || id != current_ || action != "default") return std::nullopt;
  clicked_ = true;
  return nin::BalloonUserClick;
}

std::optional<std::uint32_t> BalloonTracker::Closed(std::uint32_t id, std::uint32_t reason) {
  if (id == 0 || id != current_) return std::nullopt;
  const bool clicked = clicked_;
  current_ = 0;
  clicked_ = false;
  if (clicked) return std::nullopt;
  switch (reason) {
    case kExpired:
      return nin::BalloonTimeout;
    case kDismissed:
    case kUndefined:
      return nin::BalloonHide;
    default:
      return std::nullopt;
  }
}

void BalloonTracker::Reset() {
  current_ = 0;
  clicked_ = false;
}

}  // namespace zanto::platform::linux_desktop
