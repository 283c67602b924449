// The Windows desktop: the program's platform interfaces over user32, shell32 and comctl32.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/win32/win32_handles.h"

namespace zanto::platform::win32 {

class Win32Desktop final : public Desktop {
 public:
  explicit Win32Desktop(HINSTANCE instance);
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
  ReadResult readFileDenyWriters(const std::string& path, std::string& bytes) override;
  std::uint32_t utcMillisecondsOfDay() override;
  std::int64_t localTimeMilliseconds() override;
  int startupShowCommand() override;

  void runMessageLoop() override;
  void quit() override;

  // For the windows this desktop makes.
  HINSTANCE instance() const { return instance_; }
  // Registers a window class of ours once; later calls with the same name do nothing.
  void registerClass(const std::string& name, HBRUSH background, HICON icon, HICON smallIcon);
  HICON icon(IconId id, bool small) const;
  // Windows whose keyboard navigation the message loop runs (Tab, Enter, Escape).
  void addDialogWindow(HWND window);
  void removeDialogWindow(HWND window);

 private:
  class ClassRegistration;

  HINSTANCE instance_;
  IconPtr smallIcon_;
  IconPtr largeIcon_;
  std::map<std::string, std::unique_ptr<ClassRegistration>> classes_;
  std::vector<HWND> dialogWindows_;
  LibraryPtr versionLibrary_;
  bool serviceProcessLookedUp_ = false;
  DWORD(WINAPI* registerServiceProcess_)(DWORD, DWORD) = nullptr;
};

inline HWND toHwnd(WindowId id) {
  return reinterpret_cast<HWND>(id);
}
inline WindowId toId(HWND window) {
  return reinterpret_cast<WindowId>(window);
}

}  // namespace zanto::platform::win32
