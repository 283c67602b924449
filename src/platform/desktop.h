// The only door from the program to a desktop. Everything above src/platform/ reaches the
// window system, the shell, the clock and the file system through these interfaces, one for
// each role; each desktop (Win32, the simulated one, ...) implements them all.
//
// Rules every implementation keeps:
// - Calls into the program (MessageHandler, FormEvents) happen on the loop's one thread,
//   one at a time. They never throw: the toolkit guards them.
// - Nothing here throws for an ordinary failure; results say what went wrong and the
//   program turns them into its own messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codes.h"
#include "platform/form_definition.h"
#include "platform/text.h"

namespace zanto::platform {

using WindowId = std::uintptr_t;  // 0: no window

// The program's icon images, by what they are; each desktop loads its own pictures.
enum class IconId : std::uint32_t {
  None = 0,
  Program = 1,      // the 16 x 16 image stored with the window
  Application = 2,  // the program's main icon (16 x 16 and 32 x 32)
};

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

// The shell record as the tray component fills it. A desktop sends the first cbSize bytes'
// worth of it: 88 is the short record (tip of 64 characters, no balloon fields), 488 the long
// one. Its texts are already cut to their fields (tip 63 or 127 characters, info 255, title
// 63). A record that holds Unicode text goes as the wide record of the same layout, whose
// texts are UTF-16 (152 and 936 bytes on a 32-bit system), else as the 8-bit one.
struct NotifyIconData {
  std::uint32_t cbSize = 0;
  WindowId hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  IconId hIcon = IconId::None;
  RecordText szTip;
  RecordText szInfo;
  std::uint32_t uTimeout = 0;  // also uVersion for the set-version request
  RecordText szInfoTitle;
  std::uint32_t dwInfoFlags = 0;

  static constexpr std::uint32_t kShortSize = 88;
  static constexpr std::uint32_t kLongSize = 488;
  static constexpr std::uint32_t kWideShortSize = 152;
  static constexpr std::uint32_t kWideLongSize = 936;
  bool longRecord() const { return cbSize >= kLongSize; }
  bool wide() const {
    return szTip.unicode() || (longRecord() && (szInfo.unicode() || szInfoTitle.unicode()));
  }
  // The size of the record as it goes to the shell.
  std::uint32_t sentSize() const {
    if (!wide()) return cbSize;
    return longRecord() ? kWideLongSize : kWideShortSize;
  }
};

// A window of the program's own that the desktop delivers messages to.
class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  // The answer to the message, or nothing for the desktop's default handling.
  virtual std::optional<std::intptr_t> handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                                     std::intptr_t lParam) noexcept = 0;
};

// An open window; destroying the object destroys the window (and its timers).
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual WindowId id() const = 0;
};

// The application's hidden top-level window: it carries the taskbar entry and owns the main
// window. Minimising it hides the windows it owns; restoring shows them again.
class TaskbarWindow : public NativeWindow {
 public:
  virtual void show(int swCommand) = 0;  // sw::Hide, Show, Minimize, Restore
  virtual bool isIconic() const = 0;
  virtual void setTitle(const std::string& title) = 0;
};

enum class WindowState { Normal, Minimized, Maximized };
enum class DialogKey { Enter, Escape };

// What a shown window tells the program. Control numbers are indexes into FormDef::controls.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void formClose() noexcept = 0;  // close box, Alt+F4, system menu
  // A system command such as sc::Minimize; true when the program handled it and the
  // desktop must not.
  virtual bool formSysCommand(std::uint32_t command) noexcept = 0;
  virtual bool formQueryEndSession() noexcept = 0;  // true: the session may end
  virtual void formEndSession(bool ending) noexcept = 0;
  virtual void controlClicked(int control) noexcept = 0;  // a push button was pressed
  virtual void dialogKey(DialogKey key) noexcept = 0;     // Enter/Escape not used by a control
  virtual void pageSelected(int control, int page) noexcept = 0;  // the user clicked a tab
  virtual void formResized(int clientWidth, int clientHeight) noexcept = 0;
  // A list view's rows are asked for on demand (virtual list): the row's caption.
  virtual Text listRow(int control, std::size_t row) noexcept = 0;
};

// The program's one main window with its controls, created from a FormDef.
class NativeForm : public NativeWindow {
 public:
  virtual void setVisible(bool visible) = 0;  // showing an already visible window does nothing
  virtual bool visible() const = 0;           // as the user sees it
  virtual void setWindowState(WindowState state) = 0;
  virtual void setBounds(int control, const Rect& bounds) = 0;  // relative to the parent
  virtual void setActivePage(int control, int page) = 0;
  virtual void setRowCount(int control, std::size_t rows) = 0;
  virtual int focusedControl() const = 0;  // -1: none
  // The shown window to the front with the keyboard focus in it. Only for a start that
  // another process handed over: that process holds the user's right to the foreground.
  virtual void bringToFront() = 0;
};

struct MenuItemView {
  int command = 0;  // non-zero; what trackPopupMenu answers when the item is chosen
  std::string name;
  std::string caption;  // "-": a separator line
  bool isDefault = false;
};

struct FileStamp {
  bool directory = false;
  int localYear = 0;  // year of the last-write time, in local time
};

enum class ReadResult { Ok, CannotOpen, CannotRead };

// The desktop by role: each user depends on the part it uses, and a test double stands in
// for one part only.

// The notification area: the icon, its balloons, and the shell's version.
class NotificationArea {
 public:
  virtual ~NotificationArea() = default;
  virtual bool notifyIcon(std::uint32_t message, const NotifyIconData& data) = 0;
  virtual std::uint32_t shellVersion() = 0;  // major * 65536 + minor; 0 when unreadable
  // Drops the process from the task list or lists it again; false where the system can't.
  virtual bool registerServiceProcess(bool hide) = 0;
};

// Windows, forms, menus, the error box, and the message loop that drives them.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // A message-only window receives no broadcasts (shell restart, session end).
  virtual std::unique_ptr<NativeWindow> createWindow(const std::string& className,
                                                     MessageHandler& handler, bool messageOnly) = 0;
  virtual std::unique_ptr<TaskbarWindow> createTaskbarWindow(const std::string& title,
                                                             MessageHandler& handler) = 0;
  virtual std::unique_ptr<NativeForm> createForm(const FormDef& def, WindowId owner,
                                                 FormEvents& events) = 0;
  virtual std::uint32_t registerWindowMessage(const std::string& name) = 0;
  virtual bool setForegroundWindow(WindowId window) = 0;
  virtual void postMessage(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                           std::intptr_t lParam) = 0;
  // Pops a menu up and returns when it has closed: the chosen item's command, or 0.
  virtual int trackPopupMenu(WindowId owner, Point at, const std::string& menuName,
                             const std::vector<MenuItemView>& items) = 0;
  // The standard error box: modal, error icon, one OK button.
  virtual void errorBox(const std::string& caption, const std::string& text) = 0;
  // One Zanto per user session, asked before anything else happens. True: one already runs
  // in this session; it has been handed this start (handover::Start) and this process ends
  // now. False: this process is the session's Zanto until it ends.
  virtual bool handOverToRunning() { return false; }
  // The message loop: runs until quit() is called.
  virtual void runMessageLoop() = 0;
  virtual void quit() = 0;
};

// Timers: repeating, by window and id; ticks arrive as wm::Timer with the id in wParam.
class Timers {
 public:
  virtual ~Timers() = default;
  // Setting an existing id restarts it. False when the system has no timer left.
  virtual bool setTimer(WindowId window, std::uintptr_t id, std::uint32_t ms) = 0;
  virtual void killTimer(WindowId window, std::uintptr_t id) = 0;
};

// Where a file's bytes go as they are read, a piece at a time: the reader asks for room,
// reads into it, and says how much it read. The taker can look at each piece while it is
// still in the processor's cache, and gives room that was never cleared (a million quotes
// are some 100 MB: clearing them first costs as much again as reading them).
class FileSink {
 public:
  virtual ~FileSink() = default;
  // How big the file is said to be: a hint to make room for at once (it may have changed).
  virtual void Expect(std::size_t bytes) { (void)bytes; }
  // Room for the next bytes: at most `bytes`, never none.
  virtual std::span<char> Room(std::size_t bytes) = 0;
  // The first `bytes` bytes of the room last given hold the file's next bytes.
  virtual void Filled(std::size_t bytes) = 0;
};

// A sink that keeps the bytes in a string.
class StringSink final : public FileSink {
 public:
  std::string bytes;
  std::span<char> Room(std::size_t more) override {
    used_ = bytes.size();
    bytes.resize(used_ + more);
    return {bytes.data() + used_, more};
  }
  void Filled(std::size_t n) override { bytes.resize(used_ + n); }

 private:
  std::size_t used_ = 0;
};

// The executable's place and the quotes file.
class Files {
 public:
  virtual ~Files() = default;
  virtual std::string executablePath() = 0;
  virtual std::string_view pathDelimiters() = 0;  // the characters that end a directory
  // Where this desktop's users keep a quotes file of their own, looked for before the one
  // beside the executable; empty where there is no such place.
  virtual std::string userQuotesPath() { return {}; }
  virtual std::optional<FileStamp> fileStamp(const std::string& path) = 0;
  // Opens with other writers denied, reads the whole file into `sink`, closes it again.
  // On a failure the sink may have had part of the file: what it holds is not the file.
  virtual ReadResult readFileDenyWriters(const std::string& path, FileSink& sink) = 0;
  // The same into a string, which is left empty on a failure.
  ReadResult readFileDenyWriters(const std::string& path, std::string& bytes) {
    StringSink sink;
    const ReadResult result = readFileDenyWriters(path, sink);
    bytes = result == ReadResult::Ok ? std::move(sink.bytes) : std::string();
    return result;
  }
};

// The clock, the input devices' state, and how the process was started.
class ClockAndInput {
 public:
  virtual ~ClockAndInput() = default;
  virtual bool keyDown(int virtualKey) = 0;  // high bit of GetKeyState
  virtual Point cursorPos() = 0;
  virtual std::uint32_t doubleClickTime() = 0;
  virtual std::uint32_t utcMillisecondsOfDay() = 0;
  virtual std::int64_t localTimeMilliseconds() = 0;  // local date and time, any fixed epoch
  virtual int startupShowCommand() = 0;              // sw::ShowNormal unless started otherwise
};

// A whole desktop: every role in one.
class Desktop : public NotificationArea,
                public WindowSystem,
                public Timers,
                public Files,
                public ClockAndInput {};

// The roles the program runs on: one desktop's, or parts of several (a test that stands in
// for one role).
struct DesktopRoles {
  NotificationArea& shell;
  WindowSystem& windows;
  Timers& timers;
  Files& files;
  ClockAndInput& clock;

  // Every role from one desktop.
  DesktopRoles(Desktop& desktop)  // NOLINT: a desktop is its roles
      : shell(desktop), windows(desktop), timers(desktop), files(desktop), clock(desktop) {}
  DesktopRoles(NotificationArea& shell, WindowSystem& windows, Timers& timers, Files& files,
               ClockAndInput& clock)
      : shell(shell), windows(windows), timers(timers), files(files), clock(clock) {}
};

}  // namespace zanto::platform
