// The window classes of the program's windows. Other programs find a running Zanto by them
// (the end-to-end driver, an installer ending Zanto before an upgrade), so they are named
// once, here.
#pragma once

namespace zanto::platform::window_class {

inline constexpr const char* kTrayIcon = "TTrayIconWindow";  // the tray icon's hidden window
inline constexpr const char* kTaskbar = "TApplication";      // carries the taskbar entry
inline constexpr const char* kSettings = "TfrmSettings";     // the settings window
inline constexpr const char* kTimer = "TTimerWindow";        // a timer's message-only window
inline constexpr const char* kTabSheet = "TTabSheet";        // a page of a page control
inline constexpr const char* kPower = "TPowerWindow";        // hears the return from sleep

}  // namespace zanto::platform::window_class
