#include "platform/linux/x11_activation.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <charconv>
#include <cstring>
#include <memory>

namespace zanto::platform::linux_desktop {

namespace {

constexpr std::string_view kTimeMark = "_TIME";

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

}  // namespace

std::uint32_t StartupIdTime(std::string_view startupId) {
  const std::size_t mark = startupId.rfind(kTimeMark);
  if (mark == std::string_view::npos) return 0;
  const std::string_view digits = startupId.substr(mark + kTimeMark.size());
  std::uint32_t time = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), time);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  return time;
}

bool ActivateAtUserTime(QWidget& window, std::uint32_t time) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || time == 0) return false;
  xcb_connection_t* connection = x11->connection();
  const auto id = static_cast<xcb_window_t>(window.winId());
  const xcb_atom_t active = Atom(connection, "_NET_ACTIVE_WINDOW");
  const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
      xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr), &std::free);
  if (active == XCB_ATOM_NONE || !tree) return false;
  // As EWMH has window managers read it: from an application (source 1), at the
  // time of the user's request.
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = id;
  event.type = active;
  event.data.data32[0] = 1;
  event.data.data32[1] = time;
  xcb_send_event(connection, 0, tree->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
  return true;
}

}  // namespace zanto::platform::linux_desktop
