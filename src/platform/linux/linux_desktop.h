// The Linux desktop: the program's platform interfaces over Qt 6 Widgets, with the
// notification area and the session spoken over D-Bus.
//
// Windows are light objects of this desktop's own, kept in a table: only forms are real
// ones. Messages posted to them are queued on the Qt event loop; timers are Qt timers keyed
// by window and identifier that deliver WM_TIMER. The message loop is the application's
// event loop.
//
// The application's taskbar window. On these desktops the taskbar entry is the main
// window's own, present while the window is mapped: there is no window to carry an entry
// by itself. So the taskbar window is a state that the main window follows (LinuxForm::
// Apply): shown and not minimised, the main window is shown where the program shows it;
// minimised, the main window is iconified and keeps its entry; hidden and minimised, the
// main window is unmapped, entry and all. Hiding the taskbar window while it is not
// minimised cannot take the entry from a mapped window; the program never does that
// (it hides the entry only after minimising, as TTrayIcon::HideToTray does). The user's
// minimise button is the program's SC_MINIMIZE; bringing the window back from the taskbar
// is the taskbar window's SC_RESTORE.
#pragma once

#include <QIcon>
#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/linux/session.h"
#include "platform/linux/shell_events.h"
#include "platform/window_table.h"

namespace zanto::platform::linux_desktop {

class AppService;
struct HandOverRequest;
class LinuxForm;
class StatusArea;
class TimerHost;

class LinuxDesktop final : public Desktop, private ShellEvents, private SessionEnd {
 public:
  // Needs the QApplication; `blocked` holds the signals Session::BlockSignals blocked.
  explicit LinuxDesktop(const sigset_t& blocked);
  ~LinuxDesktop() override;
  LinuxDesktop(const LinuxDesktop&) = delete;
  LinuxDesktop& operator=(const LinuxDesktop&) = delete;

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
  bool handOverToRunning() override;

  bool setTimer(WindowId window, std::uintptr_t id, std::uint32_t ms) override;
  void killTimer(WindowId window, std::uintptr_t id) override;

  bool keyDown(int virtualKey) override;
  Point cursorPos() override;
  std::uint32_t doubleClickTime() override;

  std::string executablePath() override;
  std::string_view pathDelimiters() override { return "/"; }
  std::string userQuotesPath() override;
  std::optional<FileStamp> fileStamp(const std::string& path) override;
  using Files::readFileDenyWriters;
  ReadResult readFileDenyWriters(const std::string& path, FileSink& sink) override;
  std::uint32_t utcMillisecondsOfDay() override;
  std::int64_t localTimeMilliseconds() override;
  int startupShowCommand() override { return sw::ShowNormal; }

  void runMessageLoop() override;
  void quit() override;

 private:
  using Window = TableWindow<LinuxDesktop>;
  using OwnTaskbar = TableTaskbar<LinuxDesktop>;
  friend Window;
  friend OwnTaskbar;
  friend class TimerHost;

  // A form answers through its FormEvents instead of a handler.
  using Windows = WindowTable<LinuxForm*>;
  // A pop-up menu call that is to answer with an item the user chose in a host's menu.
  struct Answer {
    WindowId owner = 0;
    int command = 0;
  };

  void RemoveWindow(WindowId id);
  std::optional<std::intptr_t> Send(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    return windows_.Send(window, msg, wParam, lParam);
  }
  void Later(std::function<void()> work);
  void TaskbarShow(int command);
  const TaskbarState& Taskbar() const { return taskbar_; }
  void SetTaskbarTitle(const std::string& title);
  void UpdateForms();
  QIcon Icon(IconId id) const;
  int ShowMenu(Point at, const std::vector<MenuItemView>& items);
  void HandedOver(const HandOverRequest& request);
  void StartSession();

  // ShellEvents
  void IconInput(const IconAddress& icon, std::vector<std::uint32_t> codes,
                 std::optional<Point> cursor) override;
  void IconMenuChosen(const IconAddress& icon, int command) override;
  void IconMenuWanted(const IconAddress& icon) override;
  void ShellRestarted() override;
  // SessionEnd
  bool QueryEndSession() override;
  void EndSession(bool ending) override;

  QObject context_;  // queued work runs in its name; gone with the desktop
  std::unique_ptr<TimerHost> timers_;
  Windows windows_;

  std::unique_ptr<StatusArea> statusArea_;
  // Made once this process is the session's Zanto: a start that hands over and ends
  // never becomes a client of the session manager.
  sigset_t blocked_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<AppService> appService_;
  std::uint32_t activationTime_ = 0;  // X11: the user's request being carried out

  // The state of input as a host reported it, while its event is delivered.
  std::optional<Point> hostCursor_;
  unsigned hostButtons_ = 0;  // bit k: virtual key k held
  WindowId probing_ = 0;      // the window whose menu is asked for, not shown
  std::optional<Answer> answer_;

  // The application's taskbar window (see above), which every window follows.
  std::string title_;
  TaskbarState taskbar_;
};

}  // namespace zanto::platform::linux_desktop
