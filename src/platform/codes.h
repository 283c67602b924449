// The desktop's vocabulary: Win32 message numbers, shell request codes and flags as
// portable constants, so the tray component dispatches on the same codes on every desktop.
// Namespaced and camel-cased so that they never collide with the macros of <windows.h>.
#pragma once

#include <cstdint>

namespace zanto::platform {

namespace wm {
inline constexpr std::uint32_t Null = 0x0000;
inline constexpr std::uint32_t Close = 0x0010;
inline constexpr std::uint32_t QueryEndSession = 0x0011;
inline constexpr std::uint32_t EndSession = 0x0016;
inline constexpr std::uint32_t ContextMenu = 0x007B;
inline constexpr std::uint32_t SysCommand = 0x0112;
inline constexpr std::uint32_t Timer = 0x0113;
inline constexpr std::uint32_t MouseMove = 0x0200;
inline constexpr std::uint32_t LButtonDown = 0x0201;
inline constexpr std::uint32_t LButtonUp = 0x0202;
inline constexpr std::uint32_t LButtonDblClk = 0x0203;
inline constexpr std::uint32_t RButtonDown = 0x0204;
inline constexpr std::uint32_t RButtonUp = 0x0205;
inline constexpr std::uint32_t RButtonDblClk = 0x0206;
inline constexpr std::uint32_t MButtonDown = 0x0207;
inline constexpr std::uint32_t MButtonUp = 0x0208;
inline constexpr std::uint32_t MButtonDblClk = 0x0209;
inline constexpr std::uint32_t User = 0x0400;
}  // namespace wm

// Notification codes the shell sends with the icon's callback message.
namespace nin {
inline constexpr std::uint32_t Select = wm::User + 0;
inline constexpr std::uint32_t KeySelect = wm::User + 1;
inline constexpr std::uint32_t BalloonShow = wm::User + 2;
inline constexpr std::uint32_t BalloonHide = wm::User + 3;
inline constexpr std::uint32_t BalloonTimeout = wm::User + 4;
inline constexpr std::uint32_t BalloonUserClick = wm::User + 5;
}  // namespace nin

namespace sc {
inline constexpr std::uint32_t Minimize = 0xF020;
inline constexpr std::uint32_t Close = 0xF060;
inline constexpr std::uint32_t Restore = 0xF120;
}  // namespace sc

// Shell_NotifyIcon requests.
namespace nim {
inline constexpr std::uint32_t Add = 0;
inline constexpr std::uint32_t Modify = 1;
inline constexpr std::uint32_t Delete = 2;
inline constexpr std::uint32_t SetFocus = 3;
inline constexpr std::uint32_t SetVersion = 4;
}  // namespace nim

namespace nif {
inline constexpr std::uint32_t Message = 0x01;
inline constexpr std::uint32_t Icon = 0x02;
inline constexpr std::uint32_t Tip = 0x04;
inline constexpr std::uint32_t Info = 0x10;
}  // namespace nif

namespace niif {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Info = 1;
inline constexpr std::uint32_t Warning = 2;
inline constexpr std::uint32_t Error = 3;
}  // namespace niif

// ShowWindow commands.
namespace sw {
inline constexpr int Hide = 0;
inline constexpr int ShowNormal = 1;
inline constexpr int ShowMaximized = 3;
inline constexpr int Minimize = 6;
inline constexpr int ShowMinNoActive = 7;
inline constexpr int Show = 5;
inline constexpr int Restore = 9;
}  // namespace sw

// What a start hands over to the session's running Zanto: the wParam of the registered
// message kHandOverMessage, posted to the tray icon's window. A second Zanto never runs
// beside the first, so a start (and, on desktops that offer them, the menu entry's actions)
// reaches the program this way.
namespace handover {
inline constexpr std::uintptr_t Start = 0;  // started again: the window, General page, in front
inline constexpr std::uintptr_t TellMeMore = 1;  // the tray menu's commands
inline constexpr std::uintptr_t Settings = 2;
inline constexpr std::uintptr_t About = 3;
inline constexpr std::uintptr_t Exit = 4;
}  // namespace handover
inline constexpr char kHandOverMessage[] = "Zanto.HandOver";

// Virtual keys whose state GetKeyState reports.
namespace vk {
inline constexpr int LButton = 0x01;
inline constexpr int RButton = 0x02;
inline constexpr int MButton = 0x04;
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Menu = 0x12;  // Alt
}  // namespace vk

}  // namespace zanto::platform
