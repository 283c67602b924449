// A headless, deterministic desktop. Its clock moves only when told to, it answers menus as
// told, and it writes everything the program does to the desktop to a trace.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/sim/trace.h"
#include "platform/window_table.h"

namespace zanto::sim {

struct SimOptions {
  std::string executablePath = "zanto.exe";
  std::string userQuotesPath;              // the user's own quotes file, as a Linux desktop has one
  std::uint32_t utcMillisecondsOfDay = 0;  // at t = 0; seeds the program's random source
  std::optional<std::uint32_t> shellVersion = 0x60000;  // nothing: the version can't be read
  int showCommand = platform::sw::ShowNormal;
  std::optional<std::size_t> timerLimit;  // timers the system can hand out; nothing: no limit
  bool anotherZantoRuns = false;          // in this session, so a start hands over to it
  // Faults of the file system, for tests: the open fails, or the read fails after so many
  // bytes; beforeOpen runs between the existence test and the opening of a file.
  bool failOpen = false;
  std::optional<std::size_t> failReadAfter;
  std::function<void(const std::string& path)> beforeOpen;
  // Faults of the shell: every notification-area request is refused (and changes nothing);
  // the next so many requests are carried out but answered as failed (a shell too busy to
  // answer in time, as at logon).
  bool shellRefuses = false;
  std::size_t lateAnswers = 0;
  // The shell is still starting, as at logon: it refuses every request made before this
  // moment (ms since start).
  std::uint64_t shellBusyUntil = 0;
  // Runs while a pop-up menu is open, after the user's choice is made and before the menu
  // call returns: what the program's timers may do during a real menu's modal loop.
  std::function<void()> whileMenuOpen;
};

class SimDesktop final : public platform::Desktop {
 public:
  SimDesktop(SimOptions options, Trace& trace);
  ~SimDesktop() override;

  // What runMessageLoop does: a scenario, or a test.
  void SetLoopDriver(std::function<void(SimDesktop&)> driver) { driver_ = std::move(driver); }
  bool QuitRequested() const { return quit_; }
  std::uint64_t Now() const { return now_; }
  Trace& TraceOut() { return trace_; }
  // The options may be changed while the program runs: a fault that begins later.
  SimOptions& Options() { return options_; }

  // What the user and the shell do.
  void Wait(std::uint64_t ms);
  // The computer sleeps for `ms`: nothing fires meanwhile, the clock goes on; on waking
  // every countdown that ran out fires once, in the order it ran out.
  void Suspend(std::uint64_t ms);
  void TrayCallback(std::uint32_t code, unsigned modifierKeys);  // vk::Shift etc. as bits below
  static constexpr unsigned kShift = 1, kCtrl = 2, kAlt = 4;
  void SetCursor(platform::Point at) { cursor_ = at; }
  // How the next pop-up menu is answered: an item's name, or nothing to close it.
  void SetMenuAnswer(std::optional<std::string> item) { menuAnswer_ = std::move(item); }
  void TaskbarCreated();
  // Zanto is started again (or a menu entry's action chosen): the new process hands over to
  // this one and ends.
  void HandOver(std::uintptr_t what = platform::handover::Start);
  void QueryEndSession();
  // The session ends: every top-level window hears of it, or only the main window (a
  // system that ends the process once that has answered).
  static constexpr bool kMainWindowOnly = true;
  void EndSession(bool mainWindowOnly = false);
  // Ends the program politely, as taskkill without /f and installers do: WM_CLOSE to each
  // of its top-level windows.
  void EndTask();
  void CloseMainWindow();
  void MinimizeMainWindow();
  bool ClickControl(const std::string& name);  // false: no such button
  void Key(platform::DialogKey key);
  bool SelectPage(int page);  // false: no such page
  void Resize(int width, int height);
  void Dump();

  // What the desktop shows, for tests.
  bool IconPresent() const { return !shellIcons_.empty(); }
  bool MainWindowVisible() const;
  int ActivePage() const;
  std::size_t RowCount() const;
  std::size_t LiveTimers() const { return timers_.size(); }
  std::uint64_t TimerTicks() const { return timerTicks_; }

  // platform::Desktop
  bool notifyIcon(std::uint32_t message, const platform::NotifyIconData& data) override;
  std::uint32_t shellVersion() override;
  std::uint32_t registerWindowMessage(const std::string& name) override;
  bool registerServiceProcess(bool hide) override;
  std::unique_ptr<platform::NativeWindow> createWindow(const std::string& className,
                                                       platform::MessageHandler& handler,
                                                       bool messageOnly) override;
  std::unique_ptr<platform::TaskbarWindow> createTaskbarWindow(
      const std::string& title, platform::MessageHandler& handler) override;
  std::unique_ptr<platform::NativeForm> createForm(const platform::FormDef& def,
                                                   platform::WindowId owner,
                                                   platform::FormEvents& events) override;
  bool setForegroundWindow(platform::WindowId window) override;
  void postMessage(platform::WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  int trackPopupMenu(platform::WindowId owner, platform::Point at, const std::string& menuName,
                     const std::vector<platform::MenuItemView>& items) override;
  void errorBox(const std::string& caption, const std::string& text) override;
  bool setTimer(platform::WindowId window, std::uintptr_t id, std::uint32_t ms) override;
  void killTimer(platform::WindowId window, std::uintptr_t id) override;
  bool keyDown(int virtualKey) override;
  platform::Point cursorPos() override { return cursor_; }
  std::uint32_t doubleClickTime() override { return 500; }
  std::string executablePath() override { return options_.executablePath; }
  std::string userQuotesPath() override { return options_.userQuotesPath; }
  std::string_view pathDelimiters() override { return "/"; }
  std::optional<platform::FileStamp> fileStamp(const std::string& path) override;
  using Files::readFileDenyWriters;
  platform::ReadResult readFileDenyWriters(const std::string& path,
                                           platform::FileSink& sink) override;
  std::uint32_t utcMillisecondsOfDay() override;
  std::int64_t localTimeMilliseconds() override;
  int startupShowCommand() override { return options_.showCommand; }
  bool handOverToRunning() override { return options_.anotherZantoRuns; }
  void runMessageLoop() override;
  void quit() override { quit_ = true; }

 private:
  using Window = platform::TableWindow<SimDesktop>;
  using OwnTaskbar = platform::TableTaskbar<SimDesktop>;
  class Form;
  friend Window;
  friend OwnTaskbar;
  friend class Form;

  enum class Kind { Plain, Taskbar, Form };
  using Windows = platform::WindowTable<Kind>;
  struct Timer {
    std::uint32_t interval = 0;
    std::uint64_t due = 0;
    std::uint64_t order = 0;  // ties at the same moment go in the order the timers were set
  };
  struct Posted {
    platform::WindowId window;
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };

  // What the shell does with a request; true when it did it.
  bool CarryOut(std::uint32_t message, std::uint32_t uID, bool longRecord);
  void RemoveWindow(platform::WindowId id);
  std::optional<std::intptr_t> Send(platform::WindowId window, std::uint32_t msg,
                                    std::uintptr_t wParam, std::intptr_t lParam) {
    return windows_.Send(window, msg, wParam, lParam);
  }
  void DeliverPosted();
  JsonObject Line(std::string_view op) const;
  void TaskbarShow(int command);
  const platform::TaskbarState& Taskbar() const { return taskbar_; }
  void SetTaskbarTitle(const std::string& title) { taskbarTitle_ = title; }
  void UpdateMainWindow();

  SimOptions options_;
  Trace& trace_;
  std::function<void(SimDesktop&)> driver_;
  bool quit_ = false;
  std::uint64_t now_ = 0;
  std::uint64_t timerTicks_ = 0;

  Windows windows_;
  std::map<std::pair<platform::WindowId, std::uintptr_t>, Timer> timers_;
  std::uint64_t timerOrder_ = 0;
  std::vector<Posted> posted_;
  std::map<std::uint32_t, bool> shellIcons_;  // by uID

  platform::Point cursor_;
  unsigned modifiers_ = 0;
  unsigned buttons_ = 0;  // vk::LButton etc. held down
  std::optional<std::string> menuAnswer_;

  // The application's taskbar window.
  platform::TaskbarState taskbar_;
  std::string taskbarTitle_;
  // The main window.
  Form* form_ = nullptr;
  bool formSeenVisible_ = false;
};

}  // namespace zanto::sim
