// The Windows desktop: the program's platform interfaces over user32, shell32 and comctl32.
// Its code is in three files: win32_desktop.cpp (windows, menus, timers, input and the
// loop), win32_shell.cpp (the notification area) and win32_files.cpp (files and clock).
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_theme.h"
#include "platform/win32/win32_timers.h"

namespace zanto::platform::win32 {

class Win32Form;

class Win32Desktop final : public Desktop {
 public:
  // `theme`: the visual-style calls the windows paint with; by default the system's.
  // `clock`: the elapsed clock the timers keep their due moments by; by default the system's.
  explicit Win32Desktop(HINSTANCE instance, std::optional<ThemeApi> theme = std::nullopt,
                        ElapsedTimers::Clock clock = {});
  ~Win32Desktop() override;
  Win32Desktop(const Win32Desktop&) = delete;
  Win32Desktop& operator=(const Win32Desktop&) = delete;

  bool notifyIcon(std::uint32_t message, const NotifyIconData& data) override;
  std::uint32_t shellVersion() override;
  std::uint32_t registerWindowMessage(const std::string& name) override;
  bool registerServiceProcess(bool hide) override;

  std::unique_ptr<NativeWindow> createWindow(const std::string& className, MessageHandler& handler,
                                             bool messageOnly) override;
  std::unique_ptr<TaskbarWindow> createTaskbarWindow(const std::string& title,
                                                     MessageHandler& handler) override;
  std::unique_ptr<NativeForm> createForm(const FormDef& def, WindowId owner,
                                         FormEvents& events) override;
  bool setForegroundWindow(WindowId window) override;
  void postMessage(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  int trackPopupMenu(WindowId owner, Point at, const std::string& menuName,
                     const std::vector<MenuItemView>& items) override;
  void errorBox(const std::string& caption, const std::string& text) override;

  bool setTimer(WindowId window, std::uintptr_t id, std::uint32_t ms) override;
  void killTimer(WindowId window, std::uintptr_t id) override;

  bool keyDown(int virtualKey) override;
  Point cursorPos() override;
  std::uint32_t doubleClickTime() override;

  std::string executablePath() override;
  std::string_view pathDelimiters() override;
  std::optional<FileStamp> fileStamp(const std::string& path) override;
  using Files::readFileDenyWriters;
  ReadResult readFileDenyWriters(const std::string& path, FileSink& sink) override;
  std::uint32_t utcMillisecondsOfDay() override;
  std::int64_t localTimeMilliseconds() override;
  int startupShowCommand() override;

  bool handOverToRunning() override;
  void runMessageLoop() override;
  void quit() override;

  // For the windows this desktop makes.
  HINSTANCE Instance() const { return instance_; }
  // Registers a window class of ours once; later calls with the same name do nothing.
  void RegisterWindowClass(const std::string& name, HBRUSH background, HICON icon, HICON smallIcon);
  HICON Icon(IconId id, bool small) const;
  // The small icon at the size the notification area draws it: that of the taskbar's monitor.
  HICON TrayIcon(IconId id);
  const ThemeApi& Theme() const { return theme_; }
  // Forms whose keyboard the message loop runs (Tab, Ctrl+Tab, access keys, Enter, Escape).
  void AddForm(Win32Form& form);
  void RemoveForm(Win32Form& form);
  // What the loop does with one message; true when a form's keyboard took it.
  bool TranslateKeyboard(MSG& msg);
  // The system's countdown of a window's timer ran out: true when the tick is due.
  bool TimerDue(WindowId window, std::uintptr_t id) { return timers_.CountdownEnded(window, id); }
  void WindowGone(WindowId window) { timers_.KillAll(window); }
  // The computer woke: the ticks that came due while it slept go out now, once each.
  void Resumed();

 private:
  class ClassRegistration;
  class PowerWindow;

  HINSTANCE instance_;
  IconPtr smallIcon_;
  IconPtr largeIcon_;
  std::map<int, IconPtr> trayIcons_;  // by size in pixels
  std::map<std::string, std::unique_ptr<ClassRegistration>> classes_;
  std::vector<Win32Form*> forms_;
  LibraryPtr versionLibrary_;
  LibraryPtr uxtheme_;
  ThemeApi theme_;
  KernelHandle sessionClaim_;  // held while this is the session's Zanto
  bool serviceProcessLookedUp_ = false;
  DWORD(WINAPI* registerServiceProcess_)(DWORD, DWORD) = nullptr;
  ElapsedTimers timers_;
  // Hears of the return from sleep, which reaches only top-level windows; made with the
  // first timer.
  std::unique_ptr<PowerWindow> power_;
};

// A pop-up menu opens on the side of its point the user's handedness setting asks for
// (SM_MENUDROPALIGNMENT: right-aligned for a right-handed pen user, who would otherwise
// cover the menu with the hand).
inline UINT PopupMenuFlags(bool dropRightAligned) {
  return dropRightAligned ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
}

inline HWND ToHwnd(WindowId id) {
  return reinterpret_cast<HWND>(id);
}
inline WindowId ToId(HWND window) {
  return reinterpret_cast<WindowId>(window);
}

}  // namespace zanto::platform::win32
