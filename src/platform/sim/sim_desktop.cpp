#include "platform/sim/sim_desktop.h"

#include <algorithm>

#include "platform/posix/posix_files.h"
#include "platform/window_classes.h"

namespace zanto::sim {

using platform::WindowId;
namespace wm = platform::wm;
namespace sw = platform::sw;

namespace {

constexpr std::uint64_t kDayMs = 86'400'000;
constexpr std::uint32_t kMinimumTimer = 10;  // what a window timer can do at the fastest

const char* RequestName(std::uint32_t message) {
  switch (message) {
    case platform::nim::Add:
      return "NIM_ADD";
    case platform::nim::Modify:
      return "NIM_MODIFY";
    case platform::nim::Delete:
      return "NIM_DELETE";
    case platform::nim::SetVersion:
      return "NIM_SETVERSION";
    case platform::nim::SetFocus:
      return "NIM_SETFOCUS";
  }
  return "NIM_UNKNOWN";
}

const char* StateName(platform::WindowState state) {
  switch (state) {
    case platform::WindowState::Minimized:
      return "minimized";
    case platform::WindowState::Maximized:
      return "maximized";
    case platform::WindowState::Normal:
      break;
  }
  return "normal";
}

const char* KindName(platform::ControlKind kind) {
  switch (kind) {
    case platform::ControlKind::Bevel:
      return "TBevel";
    case platform::ControlKind::Button:
      return "TBitBtn";
    case platform::ControlKind::PageControl:
      return "TPageControl";
    case platform::ControlKind::TabSheet:
      return platform::window_class::kTabSheet;
    case platform::ControlKind::ListView:
      return "TListView";
    case platform::ControlKind::Label:
      break;
  }
  return "TLabel";
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Windows

class SimDesktop::Form final : public platform::NativeForm {
 public:
  Form(SimDesktop& desktop, WindowId id, const platform::FormDef& def, platform::FormEvents& events)
      : desktop_(desktop),
        id_(id),
        def_(def),
        events_(events),
        width_(def.width),
        height_(def.height) {
    for (const auto& c : def.controls) bounds_.push_back(c.bounds);
    pageControl_ = -1;
    for (std::size_t i = 0; i < def.controls.size(); ++i)
      if (def.controls[i].kind == platform::ControlKind::PageControl) {
        pageControl_ = static_cast<int>(i);
        page_ = def.controls[i].activePage;
        break;
      }
    rows_.assign(def.controls.size(), 0);
  }
  ~Form() override {
    desktop_.form_ = nullptr;
    desktop_.RemoveWindow(id_);
    desktop_.UpdateMainWindow();  // a shown window vanishes with it
  }
  WindowId id() const override { return id_; }
  void setVisible(bool visible) override {
    shown_ = visible;
    desktop_.UpdateMainWindow();
  }
  bool visible() const override { return shown_ && !desktop_.taskbar_.iconic; }
  void setWindowState(platform::WindowState state) override {
    if (state == state_) return;
    state_ = state;
    if (visible()) desktop_.formSeenVisible_ = false;
    desktop_.UpdateMainWindow();
  }
  void setBounds(int control, const platform::Rect& bounds) override {
    if (Valid(control)) bounds_[static_cast<std::size_t>(control)] = bounds;
  }
  void setActivePage(int control, int page) override {
    if (control == pageControl_) page_ = page;
  }
  void setRowCount(int control, std::size_t rows) override {
    if (Valid(control)) rows_[static_cast<std::size_t>(control)] = rows;
  }
  int focusedControl() const override { return focus_; }
  void bringToFront() override {
    if (visible()) desktop_.setForegroundWindow(id_);
  }

  bool Valid(int control) const {
    return control >= 0 && static_cast<std::size_t>(control) < def_.controls.size();
  }

  SimDesktop& desktop_;
  WindowId id_;
  const platform::FormDef& def_;
  platform::FormEvents& events_;
  std::vector<platform::Rect> bounds_;
  std::vector<std::size_t> rows_;
  int width_;
  int height_;
  bool shown_ = false;
  platform::WindowState state_ = platform::WindowState::Normal;
  int pageControl_ = -1;
  int page_ = 0;
  int focus_ = -1;
};

// ---------------------------------------------------------------------------------------

SimDesktop::SimDesktop(SimOptions options, Trace& trace)
    : options_(std::move(options)), trace_(trace) {}

SimDesktop::~SimDesktop() = default;

JsonObject SimDesktop::Line(std::string_view op) const {
  JsonObject line;
  line.Add("t", static_cast<std::int64_t>(now_));
  line.Add("op", op);
  return line;
}

void SimDesktop::RemoveWindow(WindowId id) {
  windows_.Remove(id);
  for (auto it = timers_.begin(); it != timers_.end();)
    it = it->first.first == id ? timers_.erase(it) : std::next(it);
}

void SimDesktop::DeliverPosted() {
  while (!posted_.empty() && !quit_) {
    const Posted p = posted_.front();
    posted_.erase(posted_.begin());
    Send(p.window, p.msg, p.wParam, p.lParam);
  }
}

void SimDesktop::runMessageLoop() {
  DeliverPosted();
  if (driver_ && !quit_) driver_(*this);
}

// ---------------------------------------------------------------------------------------
// The notification area

bool SimDesktop::notifyIcon(std::uint32_t message, const platform::NotifyIconData& data) {
  const bool longRecord = data.longRecord();
  // The short record's tip holds 63 characters.
  const platform::Text tip = data.szTip.view();
  const platform::Text shortTip{platform::FieldPrefix(tip, 63), tip.encoding};
  JsonObject line = Line("shell");
  line.Add("msg", RequestName(message)).Add("cbSize", data.sentSize());
  if (data.wide()) line.AddBool("wide", true);
  line.Add("uID", data.uID)
      .Add("uFlags", data.uFlags)
      .Add("uCallbackMessage", data.uCallbackMessage)
      .Add("tip", longRecord ? tip : shortTip)
      .Add("title", longRecord ? data.szInfoTitle.view() : platform::Text{})
      .Add("info", longRecord ? data.szInfo.view() : platform::Text{})
      .Add("uTimeout", longRecord ? data.uTimeout : 0)
      .Add("dwInfoFlags", longRecord ? data.dwInfoFlags : 0);
  const bool busy = now_ < options_.shellBusyUntil;
  if (busy) line.AddBool("refused", true);
  trace_.Write(line);
  if (options_.shellRefuses || busy) return false;
  const bool done = CarryOut(message, data.uID, longRecord);
  if (options_.lateAnswers > 0) {
    --options_.lateAnswers;
    return false;
  }
  return done;
}

bool SimDesktop::CarryOut(std::uint32_t message, std::uint32_t uID, bool longRecord) {
  const bool present = shellIcons_.count(uID) != 0;
  switch (message) {
    case platform::nim::Add:
      if (present) return false;
      shellIcons_[uID] = true;
      return true;
    case platform::nim::Delete:
      shellIcons_.erase(uID);
      return present;
    case platform::nim::Modify:
    case platform::nim::SetFocus:
      return present;
    case platform::nim::SetVersion:
      return present && longRecord;
  }
  return false;
}

std::uint32_t SimDesktop::shellVersion() {
  return options_.shellVersion.value_or(0);
}

std::uint32_t SimDesktop::registerWindowMessage(const std::string& name) {
  return windows_.Register(name);
}

bool SimDesktop::registerServiceProcess(bool hide) {
  JsonObject line = Line("tasklist");
  line.AddBool("listed", !hide);
  trace_.Write(line);
  return true;
}

// ---------------------------------------------------------------------------------------
// Windows, menus, error box

std::unique_ptr<platform::NativeWindow> SimDesktop::createWindow(const std::string& className,
                                                                 platform::MessageHandler& handler,
                                                                 bool messageOnly) {
  const WindowId id = windows_.Add({className, &handler, !messageOnly, Kind::Plain});
  return std::make_unique<Window>(*this, id);
}

std::unique_ptr<platform::TaskbarWindow> SimDesktop::createTaskbarWindow(
    const std::string& title, platform::MessageHandler& handler) {
  const WindowId id =
      windows_.Add({platform::window_class::kTaskbar, &handler, true, Kind::Taskbar});
  auto window = std::make_unique<OwnTaskbar>(*this, id);
  window->setTitle(title);
  return window;
}

std::unique_ptr<platform::NativeForm> SimDesktop::createForm(const platform::FormDef& def, WindowId,
                                                             platform::FormEvents& events) {
  const WindowId id = windows_.Add({def.className, nullptr, true, Kind::Form});
  auto form = std::make_unique<Form>(*this, id, def, events);
  form_ = form.get();
  return form;
}

void SimDesktop::TaskbarShow(int command) {
  const char* what = taskbar_.Apply(command);
  JsonObject line = Line("taskbar");
  line.Add("do", what);
  trace_.Write(line);
  UpdateMainWindow();
}

bool SimDesktop::MainWindowVisible() const {
  return form_ && form_->visible();
}

int SimDesktop::ActivePage() const {
  return form_ ? form_->page_ : -1;
}

std::size_t SimDesktop::RowCount() const {
  if (!form_) return 0;
  std::size_t rows = 0;
  for (std::size_t r : form_->rows_) rows = std::max(rows, r);
  return rows;
}

// The main window as the user sees it: shown, and not hidden with its minimised owner.
void SimDesktop::UpdateMainWindow() {
  const bool visible = MainWindowVisible();
  if (visible == formSeenVisible_) return;
  formSeenVisible_ = visible;
  JsonObject line = Line("window");
  if (visible) {
    line.Add("do", "show").Add("state", StateName(form_->state_)).Add("page", form_->page_);
  } else {
    line.Add("do", "hide");
  }
  trace_.Write(line);
}

bool SimDesktop::setForegroundWindow(WindowId window) {
  const Windows::Entry* entry = windows_.Find(window);
  if (!entry) return false;
  JsonObject line = Line("foreground");
  line.Add("window", entry->className);
  trace_.Write(line);
  return true;
}

void SimDesktop::postMessage(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                             std::intptr_t lParam) {
  JsonObject line = Line("post");
  line.Add("msg", msg == wm::Null ? std::string("WM_NULL") : std::to_string(msg));
  trace_.Write(line);
  posted_.push_back({window, msg, wParam, lParam});
}

int SimDesktop::trackPopupMenu(WindowId, platform::Point at, const std::string& menuName,
                               const std::vector<platform::MenuItemView>& items) {
  std::string captions = "[";
  for (const auto& item : items) {
    if (captions.size() > 1) captions += ',';
    captions += JsonString(item.caption);
  }
  captions += ']';
  JsonObject line = Line("popup");
  line.Add("menu", menuName).Add("x", at.x).Add("y", at.y).AddRaw("items", captions);
  trace_.Write(line);
  const std::optional<std::string> answer = std::move(menuAnswer_);
  menuAnswer_.reset();
  int command = 0;
  for (const auto& item : items)
    if (answer && item.name == *answer && item.caption != "-") {
      command = item.command;
      break;
    }
  if (options_.whileMenuOpen) options_.whileMenuOpen();
  return command;
}

void SimDesktop::errorBox(const std::string& caption, const std::string& text) {
  JsonObject line = Line("errorbox");
  line.Add("caption", caption).Add("text", text);
  trace_.Write(line);
}

// ---------------------------------------------------------------------------------------
// Timers and the clock

bool SimDesktop::setTimer(WindowId window, std::uintptr_t id, std::uint32_t ms) {
  const auto key = std::make_pair(window, id);
  auto it = timers_.find(key);
  if (it == timers_.end()) {
    if (options_.timerLimit && timers_.size() >= *options_.timerLimit) return false;
    it = timers_.emplace(key, Timer{}).first;
  }
  it->second.interval = std::max(ms, kMinimumTimer);
  it->second.due = now_ + it->second.interval;
  it->second.order = timerOrder_++;
  return true;
}

void SimDesktop::killTimer(WindowId window, std::uintptr_t id) {
  timers_.erase(std::make_pair(window, id));
}

void SimDesktop::Wait(std::uint64_t ms) {
  const std::uint64_t until = now_ + ms;
  while (!quit_) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.due > until) continue;
      if (next == timers_.end() || it->second.due < next->second.due ||
          (it->second.due == next->second.due && it->second.order < next->second.order))
        next = it;
    }
    if (next == timers_.end()) break;
    now_ = next->second.due;
    next->second.due += next->second.interval;
    next->second.order = timerOrder_++;
    const auto [window, id] = next->first;
    ++timerTicks_;
    Send(window, wm::Timer, id, 0);
    DeliverPosted();
  }
  if (!quit_) now_ = until;
}

void SimDesktop::Suspend(std::uint64_t ms) {
  JsonObject asleep = Line("power");
  asleep.Add("do", "suspend");
  trace_.Write(asleep);
  now_ += ms;
  JsonObject awake = Line("power");
  awake.Add("do", "resume");
  trace_.Write(awake);
  // A countdown counts the hours asleep too; one that ran out fires once now, however many
  // of its periods the sleep held, and counts its next period from now.
  using Key = std::pair<WindowId, std::uintptr_t>;
  std::vector<std::pair<std::pair<std::uint64_t, std::uint64_t>, Key>> ranOut;
  for (const auto& [key, timer] : timers_)
    if (timer.due <= now_) ranOut.push_back({{timer.due, timer.order}, key});
  std::sort(ranOut.begin(), ranOut.end());
  for (const auto& [when, key] : ranOut) {
    if (quit_) return;
    // An earlier tick may have stopped this timer or set it anew.
    const auto it = timers_.find(key);
    if (it == timers_.end() || it->second.due > now_) continue;
    it->second.due = now_ + it->second.interval;
    it->second.order = timerOrder_++;
    ++timerTicks_;
    Send(key.first, wm::Timer, key.second, 0);
    DeliverPosted();
  }
}

std::uint32_t SimDesktop::utcMillisecondsOfDay() {
  return static_cast<std::uint32_t>((options_.utcMillisecondsOfDay + now_) % kDayMs);
}

std::int64_t SimDesktop::localTimeMilliseconds() {
  return static_cast<std::int64_t>(options_.utcMillisecondsOfDay + now_);
}

// ---------------------------------------------------------------------------------------
// Input

bool SimDesktop::keyDown(int virtualKey) {
  switch (virtualKey) {
    case platform::vk::Shift:
      return modifiers_ & kShift;
    case platform::vk::Control:
      return modifiers_ & kCtrl;
    case platform::vk::Menu:
      return modifiers_ & kAlt;
    case platform::vk::LButton:
    case platform::vk::RButton:
    case platform::vk::MButton:
      return (buttons_ & (1u << virtualKey)) != 0;
  }
  return false;
}

void SimDesktop::TrayCallback(std::uint32_t code, unsigned modifierKeys) {
  // The buttons held while the message is handled, as the real system reports them.
  auto press = [&](int key, bool down) {
    if (down)
      buttons_ |= 1u << key;
    else
      buttons_ &= ~(1u << key);
  };
  switch (code) {
    case wm::LButtonDown:
      press(platform::vk::LButton, true);
      break;
    case wm::RButtonDown:
      press(platform::vk::RButton, true);
      break;
    case wm::MButtonDown:
      press(platform::vk::MButton, true);
      break;
    case wm::LButtonUp:
      press(platform::vk::LButton, false);
      break;
    case wm::RButtonUp:
      press(platform::vk::RButton, false);
      break;
    case wm::MButtonUp:
      press(platform::vk::MButton, false);
      break;
  }
  modifiers_ = modifierKeys;
  if (const WindowId tray = windows_.OfClass(platform::window_class::kTrayIcon))
    Send(tray, wm::User + 1, 1, static_cast<std::intptr_t>(code));
  modifiers_ = 0;
  DeliverPosted();
}

void SimDesktop::TaskbarCreated() {
  shellIcons_.clear();
  const std::uint32_t msg = registerWindowMessage("TaskbarCreated");
  for (WindowId id : windows_.TopLevel()) Send(id, msg, 0, 0);
  DeliverPosted();
}

void SimDesktop::HandOver(std::uintptr_t what) {
  if (const WindowId tray = windows_.OfClass(platform::window_class::kTrayIcon))
    Send(tray, registerWindowMessage(platform::kHandOverMessage), what, 0);
  DeliverPosted();
}

void SimDesktop::QueryEndSession() {
  for (WindowId id : windows_.TopLevel()) {
    const Windows::Entry* entry = windows_.Find(id);
    if (!entry) continue;
    std::intptr_t answer = 1;  // what default handling says
    if (entry->extra == Kind::Form) {
      if (form_) answer = form_->events_.formQueryEndSession() ? 1 : 0;
    } else if (auto result = Send(id, wm::QueryEndSession, 0, 0)) {
      answer = *result;
    }
    JsonObject line = Line("endsession");
    line.Add("answer", answer);
    trace_.Write(line);
  }
  DeliverPosted();
}

void SimDesktop::EndSession(bool mainWindowOnly) {
  for (WindowId id : windows_.TopLevel()) {
    const Windows::Entry* entry = windows_.Find(id);
    if (!entry) continue;
    if (entry->extra == Kind::Form) {
      if (form_) form_->events_.formEndSession(true);
    } else if (!mainWindowOnly) {
      Send(id, wm::EndSession, 1, 0);
    }
  }
  DeliverPosted();
}

void SimDesktop::EndTask() {
  for (WindowId id : windows_.TopLevel()) {
    if (quit_) break;
    const Windows::Entry* entry = windows_.Find(id);
    if (!entry) continue;
    if (entry->extra == Kind::Form) {
      if (form_) form_->events_.formClose();
    } else {
      Send(id, wm::Close, 0, 0);
    }
  }
  DeliverPosted();
}

void SimDesktop::CloseMainWindow() {
  if (form_) form_->events_.formClose();
  DeliverPosted();
}

void SimDesktop::MinimizeMainWindow() {
  if (form_ && !form_->events_.formSysCommand(platform::sc::Minimize)) {
    form_->setWindowState(platform::WindowState::Minimized);
  }
  DeliverPosted();
}

bool SimDesktop::ClickControl(const std::string& name) {
  if (!form_) return false;
  const int index = form_->def_.indexOf(name);
  if (index < 0 ||
      form_->def_.controls[static_cast<std::size_t>(index)].kind != platform::ControlKind::Button)
    return false;
  form_->focus_ = index;
  form_->events_.controlClicked(index);
  DeliverPosted();
  return true;
}

void SimDesktop::Key(platform::DialogKey key) {
  if (form_) form_->events_.dialogKey(key);
  DeliverPosted();
}

bool SimDesktop::SelectPage(int page) {
  if (!form_ || form_->pageControl_ < 0) return false;
  int pages = 0;
  for (const auto& c : form_->def_.controls)
    if (c.parent == form_->pageControl_ && c.kind == platform::ControlKind::TabSheet) ++pages;
  if (page < 0 || page >= pages) return false;
  form_->page_ = page;
  form_->focus_ = form_->pageControl_;
  form_->events_.pageSelected(form_->pageControl_, page);
  DeliverPosted();
  return true;
}

void SimDesktop::Resize(int width, int height) {
  if (!form_) return;
  // The frame and title bar of the window around its client area, at 96 dpi.
  const int frameW = form_->def_.width - form_->def_.clientWidth;
  const int frameH = form_->def_.height - form_->def_.clientHeight;
  form_->width_ = std::max(width, frameW);
  form_->height_ = std::max(height, frameH);
  form_->events_.formResized(form_->width_ - frameW, form_->height_ - frameH);
  DeliverPosted();
}

void SimDesktop::Dump() {
  JsonObject line = Line("dump");
  if (!form_) {
    trace_.Write(line);
    return;
  }
  const Form& f = *form_;
  constexpr std::size_t kFirstRows = 10;
  int list = -1;
  for (std::size_t i = 0; i < f.def_.controls.size(); ++i)
    if (f.def_.controls[i].kind == platform::ControlKind::ListView) list = static_cast<int>(i);
  const std::size_t rows = list >= 0 ? f.rows_[static_cast<std::size_t>(list)] : 0;
  std::string firstRows = "[";
  for (std::size_t r = 0; r < std::min(rows, kFirstRows); ++r) {
    if (r) firstRows += ',';
    firstRows += JsonString(f.events_.listRow(list, r));
  }
  firstRows += ']';
  std::string controls = "[";
  for (std::size_t i = 0; i < f.def_.controls.size(); ++i) {
    const auto& c = f.def_.controls[i];
    const auto& b = f.bounds_[i];
    JsonObject control;
    control.Add("name", c.name)
        .Add("kind", KindName(c.kind))
        .Add("left", b.left)
        .Add("top", b.top)
        .Add("width", b.width)
        .Add("height", b.height)
        .Add("caption", c.caption);
    if (i) controls += ',';
    controls += control.Text();
  }
  controls += ']';
  line.Add("caption", f.def_.caption)
      .AddBool("visible", f.visible())
      .Add("state", StateName(f.state_))
      .Add("width", f.width_)
      .Add("height", f.height_)
      .Add("page", f.page_)
      .Add("rows", static_cast<std::int64_t>(rows))
      .AddRaw("firstRows", firstRows)
      .AddRaw("controls", controls);
  trace_.Write(line);
}

// ---------------------------------------------------------------------------------------
// Files

std::optional<platform::FileStamp> SimDesktop::fileStamp(const std::string& path) {
  return platform::posix::StatFile(path);
}

platform::ReadResult SimDesktop::readFileDenyWriters(const std::string& path,
                                                     platform::FileSink& sink) {
  if (options_.beforeOpen) options_.beforeOpen(path);
  if (options_.failOpen) return platform::ReadResult::CannotOpen;
  return platform::posix::ReadFileDenyWriters(path, sink, options_.failReadAfter);
}

}  // namespace zanto::sim
