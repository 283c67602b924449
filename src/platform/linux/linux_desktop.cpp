#include "platform/linux/linux_desktop.h"

#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QStyleHints>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "platform/linux/app_service.h"
#include "platform/linux/boot_timers.h"
#include "platform/linux/linux_form.h"
#include "platform/linux/status_area.h"
#include "platform/linux/text_conversion.h"
#include "platform/linux/user_quotes.h"
#include "platform/linux/x11_activation.h"
#include "platform/posix/posix_files.h"
#include "platform/window_classes.h"

namespace zanto::platform::linux_desktop {

namespace {

constexpr std::uint64_t kDayMs = 86'400'000;

std::int64_t RealTimeMs(std::int64_t* offsetToLocal = nullptr) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  if (offsetToLocal) {
    std::tm local{};
    const std::time_t seconds = now.tv_sec;
    *offsetToLocal = ::localtime_r(&seconds, &local) ? local.tm_gmtoff * 1000 : 0;
  }
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Windows and timers

// Timers by window and identifier, delivering WM_TIMER, on the clock that counts suspend.
class TimerHost final {
 public:
  explicit TimerHost(LinuxDesktop& desktop)
      : timers_([&desktop](WindowId window, std::uintptr_t id) {
          desktop.Send(window, wm::Timer, id, 0);
        }) {
    timers_.WatchSleep();
  }
  bool Set(WindowId window, std::uintptr_t id, std::uint32_t ms) {
    return timers_.Set(window, id, ms);
  }
  void Kill(WindowId window, std::uintptr_t id) { timers_.Kill(window, id); }
  void KillAll(WindowId window) { timers_.KillAll(window); }

 private:
  BootTimers timers_;
};

// ---------------------------------------------------------------------------------------

LinuxDesktop::LinuxDesktop(const sigset_t& blocked)
    : timers_(std::make_unique<TimerHost>(*this)),
      statusArea_(std::make_unique<StatusArea>(static_cast<ShellEvents&>(*this),
                                               [this](IconId id) {
                                                 std::vector<QImage> images;
                                                 const QIcon icon = Icon(id);
                                                 for (const QSize& size : icon.availableSizes())
                                                   images.push_back(icon.pixmap(size).toImage());
                                                 return images;
                                               })),
      blocked_(blocked),
      appService_(std::make_unique<AppService>(
          [this](const HandOverRequest& request) { HandedOver(request); })) {}

LinuxDesktop::~LinuxDesktop() = default;

QIcon LinuxDesktop::Icon(IconId id) const {
  // The program's picture and the application's are the same; every size there is goes to
  // whoever shows it, so that it stays sharp in a tray of any height.
  QIcon icon;
  if (id == IconId::None) return icon;
  for (const char* file : {":/zanto/zanto-16.png", ":/zanto/zanto-32.png", ":/zanto/zanto-64.png"})
    icon.addFile(QString::fromLatin1(file));
  return icon;
}

void LinuxDesktop::RemoveWindow(WindowId id) {
  windows_.Remove(id);
  timers_->KillAll(id);
}

void LinuxDesktop::Later(std::function<void()> work) {
  QMetaObject::invokeMethod(&context_, std::move(work), Qt::QueuedConnection);
}

std::unique_ptr<NativeWindow> LinuxDesktop::createWindow(const std::string& className,
                                                         MessageHandler& handler,
                                                         bool messageOnly) {
  const WindowId id = windows_.Add({className, &handler, !messageOnly});
  return std::make_unique<Window>(*this, id);
}

std::unique_ptr<TaskbarWindow> LinuxDesktop::createTaskbarWindow(const std::string& title,
                                                                 MessageHandler& handler) {
  const WindowId id = windows_.Add({window_class::kTaskbar, &handler, true});
  auto window = std::make_unique<OwnTaskbar>(*this, id);
  window->setTitle(title);
  return window;
}

std::unique_ptr<NativeForm> LinuxDesktop::createForm(const FormDef& def, WindowId owner,
                                                     FormEvents& events) {
  const WindowId id = windows_.Add({def.className, nullptr, true});
  LinuxForm::Hooks hooks;
  hooks.restoredByUser = [this, owner] {
    Later([this, owner] { Send(owner, wm::SysCommand, sc::Restore, 0); });
  };
  hooks.destroyed = [this, id] { RemoveWindow(id); };
  hooks.takeActivationTime = [this] { return std::exchange(activationTime_, 0); };
  auto form = std::make_unique<LinuxForm>(id, def, events, Icon(IconId::Program), std::move(hooks));
  windows_.Find(id)->extra = form.get();
  form->Apply(taskbar_.shown, taskbar_.iconic);
  return form;
}

void LinuxDesktop::TaskbarShow(int command) {
  taskbar_.Apply(command);
  UpdateForms();
}

void LinuxDesktop::SetTaskbarTitle(const std::string& title) {
  title_ = title;
  if (statusArea_) statusArea_->SetTitle(title);
}

void LinuxDesktop::UpdateForms() {
  windows_.ForEach([this](WindowId, Windows::Entry& entry) {
    if (entry.extra) entry.extra->Apply(taskbar_.shown, taskbar_.iconic);
  });
}

bool LinuxDesktop::setForegroundWindow(WindowId window) {
  // Only a shown form can be brought forward; the other windows are never seen.
  const Windows::Entry* entry = windows_.Find(window);
  if (!entry) return false;
  if (LinuxForm* form = entry->extra; form && form->visible()) {
    form->Widget().raise();
    form->Widget().activateWindow();
  }
  return true;
}

void LinuxDesktop::postMessage(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  Later([this, window, msg, wParam, lParam] { Send(window, msg, wParam, lParam); });
}

// ---------------------------------------------------------------------------------------
// The notification area

bool LinuxDesktop::notifyIcon(std::uint32_t message, const NotifyIconData& data) {
  return statusArea_->Request(message, data);
}

std::uint32_t LinuxDesktop::shellVersion() {
  // What this notification area does is what the Windows shell does from 6.0 on: balloons,
  // the long record with its 127-character tip, and a context request for the menu.
  return 0x60000;
}

std::uint32_t LinuxDesktop::registerWindowMessage(const std::string& name) {
  return windows_.Register(name);
}

bool LinuxDesktop::registerServiceProcess(bool) {
  return false;  // there is no task list to leave
}

void LinuxDesktop::IconInput(const IconAddress& icon, std::vector<std::uint32_t> codes,
                             std::optional<Point> cursor) {
  Later([this, icon, codes = std::move(codes), cursor] {
    hostCursor_ = cursor;
    for (std::uint32_t code : codes) {
      // The buttons held while each message is handled, as GetKeyState would say.
      switch (code) {
        case wm::LButtonDown:
          hostButtons_ |= 1u << vk::LButton;
          break;
        case wm::MButtonDown:
          hostButtons_ |= 1u << vk::MButton;
          break;
        case wm::LButtonUp:
          hostButtons_ &= ~(1u << vk::LButton);
          break;
        case wm::MButtonUp:
          hostButtons_ &= ~(1u << vk::MButton);
          break;
        default:
          break;
      }
      Send(icon.window, icon.callbackMessage, icon.id, static_cast<std::intptr_t>(code));
    }
    hostCursor_.reset();
    hostButtons_ = 0;
  });
}

void LinuxDesktop::IconMenuChosen(const IconAddress& icon, int command) {
  // The program hears a context request whose pop-up call answers with the chosen item,
  // and runs it as it runs any menu choice.
  Later([this, icon, command] {
    answer_ = Answer{icon.window, command};
    Send(icon.window, icon.callbackMessage, icon.id, wm::ContextMenu);
    answer_.reset();
  });
}

void LinuxDesktop::IconMenuWanted(const IconAddress& icon) {
  if (probing_ != 0) return;
  probing_ = icon.window;
  Send(icon.window, icon.callbackMessage, icon.id, wm::ContextMenu);
  probing_ = 0;
}

void LinuxDesktop::ShellRestarted() {
  Later([this] {
    const std::uint32_t msg = registerWindowMessage("TaskbarCreated");
    statusArea_->Reregister([this, msg] {
      for (WindowId id : windows_.TopLevel()) Send(id, msg, 0, 0);
    });
  });
}

int LinuxDesktop::trackPopupMenu(WindowId owner, Point at, const std::string&,
                                 const std::vector<MenuItemView>& items) {
  statusArea_->MenuSeen(owner, items);
  if (probing_ == owner) return 0;  // the host shows it; the program only said what it holds
  if (answer_ && answer_->owner == owner) {
    const int command = answer_->command;
    answer_.reset();
    for (const MenuItemView& item : items)
      if (item.command == command && item.caption != "-") return command;
    return 0;
  }
  return ShowMenu(at, items);
}

int LinuxDesktop::ShowMenu(Point at, const std::vector<MenuItemView>& items) {
  QMenu menu;
  for (const MenuItemView& item : items) {
    if (item.caption == "-") {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(ProgramText(item.caption));
    action->setData(item.command);
    if (item.isDefault) menu.setDefaultAction(action);
  }
  const QAction* chosen = menu.exec(QPoint(at.x, at.y));
  return chosen ? chosen->data().toInt() : 0;
}

void LinuxDesktop::errorBox(const std::string& caption, const std::string& text) {
  QMessageBox::critical(nullptr, ProgramText(caption), ProgramText(text));
}

bool LinuxDesktop::handOverToRunning() {
  if (appService_->HandOver()) return true;
  StartSession();
  return false;
}

void LinuxDesktop::HandedOver(const HandOverRequest& request) {
  const WindowId tray = windows_.OfClass(window_class::kTrayIcon);
  if (tray == 0) return;
  // Only what the launcher gave lets a window take the focus: on Wayland its token, which
  // Qt hands to the compositor with the next activation of a window; on X11 the time of
  // the user's request in its startup id.
  const QString platform = QGuiApplication::platformName();
  const bool token = platform == QLatin1String("wayland") && !request.activationToken.isEmpty();
  if (token) qputenv("XDG_ACTIVATION_TOKEN", request.activationToken.toUtf8());
  const std::uint32_t time =
      platform == QLatin1String("xcb") ? StartupIdTime(request.startupId.toStdString()) : 0;
  const std::uintptr_t what = request.what;
  const std::uint32_t msg = registerWindowMessage(kHandOverMessage);
  Later([this, tray, msg, what, focus = token || time != 0, time] {
    // An action that shows the window comes with them too; a window it newly shows takes
    // the focus with it. One already shown stays where it is, as after the menu's command.
    std::vector<WindowId> hidden;
    windows_.ForEach([&hidden](WindowId id, Windows::Entry& entry) {
      if (entry.extra && !entry.extra->visible()) hidden.push_back(id);
    });
    activationTime_ = time;
    Send(tray, msg, what, 0);
    if (focus && (what == handover::Settings || what == handover::About)) {
      for (WindowId id : hidden)
        if (const Windows::Entry* entry = windows_.Find(id);
            entry && entry->extra && entry->extra->visible())
          entry->extra->bringToFront();
    }
    activationTime_ = 0;  // the user's request is over
  });
}

// ---------------------------------------------------------------------------------------
// Timers, input, files and the clock

bool LinuxDesktop::setTimer(WindowId window, std::uintptr_t id, std::uint32_t ms) {
  if (!windows_.Find(window)) return false;
  return timers_->Set(window, id, ms);
}

void LinuxDesktop::killTimer(WindowId window, std::uintptr_t id) {
  timers_->Kill(window, id);
}

bool LinuxDesktop::keyDown(int virtualKey) {
  const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
  const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
  const bool host = virtualKey >= 0 && virtualKey < 32 && (hostButtons_ & (1u << virtualKey));
  switch (virtualKey) {
    case vk::Shift:
      return keys & Qt::ShiftModifier;
    case vk::Control:
      return keys & Qt::ControlModifier;
    case vk::Menu:
      return keys & Qt::AltModifier;
    case vk::LButton:
      return host || (buttons & Qt::LeftButton);
    case vk::RButton:
      return host || (buttons & Qt::RightButton);
    case vk::MButton:
      return host || (buttons & Qt::MiddleButton);
  }
  return false;
}

Point LinuxDesktop::cursorPos() {
  if (hostCursor_) return *hostCursor_;
  const QPoint at = QCursor::pos();
  return {at.x(), at.y()};
}

std::uint32_t LinuxDesktop::doubleClickTime() {
  return static_cast<std::uint32_t>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

std::string LinuxDesktop::executablePath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string LinuxDesktop::userQuotesPath() {
  return UserQuotesPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::optional<FileStamp> LinuxDesktop::fileStamp(const std::string& path) {
  return posix::StatFile(path);
}

ReadResult LinuxDesktop::readFileDenyWriters(const std::string& path, FileSink& sink) {
  return posix::ReadFileDenyWriters(path, sink);
}

std::uint32_t LinuxDesktop::utcMillisecondsOfDay() {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(RealTimeMs()) % kDayMs);
}

std::int64_t LinuxDesktop::localTimeMilliseconds() {
  std::int64_t offset = 0;
  const std::int64_t utc = RealTimeMs(&offset);
  return utc + offset;
}

// ---------------------------------------------------------------------------------------
// The loop and the session

void LinuxDesktop::StartSession() {
  if (!session_) session_ = std::make_unique<Session>(static_cast<SessionEnd&>(*this), blocked_);
}

void LinuxDesktop::runMessageLoop() {
  StartSession();
  QApplication::exec();
}

void LinuxDesktop::quit() {
  // exit, not quit: Qt's quit first asks every window to close, and the main window's
  // close is the program's question, which says no until Exit is chosen.
  QCoreApplication::exit(0);
}

bool LinuxDesktop::QueryEndSession() {
  bool agreed = true;
  for (WindowId id : windows_.TopLevel()) {
    const Windows::Entry* entry = windows_.Find(id);
    if (!entry) continue;
    if (entry->extra) {
      if (!entry->extra->Events().formQueryEndSession()) agreed = false;
    } else if (const auto answer = Send(id, wm::QueryEndSession, 0, 0)) {
      if (*answer == 0) agreed = false;
    }
  }
  return agreed;
}

void LinuxDesktop::EndSession(bool ending) {
  for (WindowId id : windows_.TopLevel()) {
    const Windows::Entry* entry = windows_.Find(id);
    if (!entry) continue;
    if (entry->extra) {
      entry->extra->Events().formEndSession(ending);
    } else {
      Send(id, wm::EndSession, ending ? 1 : 0, 0);
    }
  }
  // Windows ends a process whose session ended; here the loop ends, and the program
  // tidies up as it does after Exit.
  if (ending) quit();
}

}  // namespace zanto::platform::linux_desktop
