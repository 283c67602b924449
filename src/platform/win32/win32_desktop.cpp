#include "platform/win32/win32_desktop.h"

#include <shellapi.h>

#include <algorithm>

#include "platform/win32/win32_form.h"
#include "platform/win32/win32_session.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_window.h"
#include "platform/window_classes.h"

namespace zanto::platform::win32 {

// The portable vocabulary is Win32's own: these are pass-through values.
static_assert(wm::Null == WM_NULL && wm::Close == WM_CLOSE);
static_assert(wm::QueryEndSession == WM_QUERYENDSESSION && wm::EndSession == WM_ENDSESSION);
static_assert(wm::ContextMenu == WM_CONTEXTMENU && wm::SysCommand == WM_SYSCOMMAND);
static_assert(wm::Timer == WM_TIMER && wm::MouseMove == WM_MOUSEMOVE && wm::User == WM_USER);
static_assert(wm::LButtonDown == WM_LBUTTONDOWN && wm::LButtonUp == WM_LBUTTONUP &&
              wm::LButtonDblClk == WM_LBUTTONDBLCLK);
static_assert(wm::RButtonDown == WM_RBUTTONDOWN && wm::RButtonUp == WM_RBUTTONUP &&
              wm::RButtonDblClk == WM_RBUTTONDBLCLK);
static_assert(wm::MButtonDown == WM_MBUTTONDOWN && wm::MButtonUp == WM_MBUTTONUP &&
              wm::MButtonDblClk == WM_MBUTTONDBLCLK);
static_assert(nin::Select == NIN_SELECT && nin::KeySelect == NIN_KEYSELECT);
static_assert(nin::BalloonShow == NIN_BALLOONSHOW && nin::BalloonHide == NIN_BALLOONHIDE);
static_assert(nin::BalloonTimeout == NIN_BALLOONTIMEOUT &&
              nin::BalloonUserClick == NIN_BALLOONUSERCLICK);
static_assert(sc::Minimize == SC_MINIMIZE && sc::Close == SC_CLOSE && sc::Restore == SC_RESTORE);
static_assert(nim::Add == NIM_ADD && nim::Modify == NIM_MODIFY && nim::Delete == NIM_DELETE &&
              nim::SetFocus == NIM_SETFOCUS && nim::SetVersion == NIM_SETVERSION);
static_assert(nif::Message == NIF_MESSAGE && nif::Icon == NIF_ICON && nif::Tip == NIF_TIP &&
              nif::Info == NIF_INFO);
static_assert(niif::None == NIIF_NONE && niif::Info == NIIF_INFO && niif::Warning == NIIF_WARNING &&
              niif::Error == NIIF_ERROR);
static_assert(sw::Hide == SW_HIDE && sw::ShowNormal == SW_SHOWNORMAL &&
              sw::ShowMaximized == SW_SHOWMAXIMIZED && sw::Minimize == SW_MINIMIZE &&
              sw::ShowMinNoActive == SW_SHOWMINNOACTIVE && sw::Show == SW_SHOW &&
              sw::Restore == SW_RESTORE);
static_assert(vk::LButton == VK_LBUTTON && vk::RButton == VK_RBUTTON && vk::MButton == VK_MBUTTON &&
              vk::Shift == VK_SHIFT && vk::Control == VK_CONTROL && vk::Menu == VK_MENU);

namespace {

constexpr const char* kTaskbarClass = window_class::kTaskbar;

// A plain window of the program's own: hidden top-level (so that broadcasts reach it) or
// message-only.
class HandlerWindow final : public WindowObject, public NativeWindow {
 public:
  HandlerWindow(Win32Desktop& desktop, const std::string& className, MessageHandler& handler,
                bool messageOnly)
      : desktop_(desktop), handler_(handler) {
    Create(messageOnly ? 0 : WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 0, 0,
           messageOnly ? HWND_MESSAGE : nullptr);
    if (!messageOnly) AllowShellBroadcasts(Hwnd(), SystemMessageFilter());
  }
  ~HandlerWindow() override { desktop_.WindowGone(id()); }
  WindowId id() const override { return ToId(Hwnd()); }

 private:
  LRESULT OnMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept override {
    // The system's countdown only says it is time to look; the elapsed clock says whether
    // the tick is due.
    if (msg == WM_TIMER && !desktop_.TimerDue(ToId(window), static_cast<std::uintptr_t>(wParam)))
      return 0;
    if (auto answer = handler_.handleMessage(msg, wParam, lParam))
      return static_cast<LRESULT>(*answer);
    return DefWindowProcW(window, msg, wParam, lParam);
  }

  Win32Desktop& desktop_;
  MessageHandler& handler_;
};

// The application's window: never seen itself (no size), it carries the taskbar button and
// owns the main window, which minimising it hides and restoring it shows again.
class Win32TaskbarWindow final : public WindowObject, public TaskbarWindow {
 public:
  Win32TaskbarWindow(Win32Desktop& desktop, const std::string& title, MessageHandler& handler)
      : handler_(handler) {
    Create(0, kTaskbarClass, title,
           WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
           GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr);
    SendMessageW(Hwnd(), WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(desktop.Icon(IconId::Application, false)));
    SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(desktop.Icon(IconId::Application, true)));
  }
  WindowId id() const override { return ToId(Hwnd()); }
  // Minimising hides the windows it owns and restoring shows them again. Windows does that
  // itself; not every system that runs this program does (Wine leaves them on screen), so
  // the window sees to it, and the second hide or show is a no-op where the system did it.
  void show(int swCommand) override {
    const bool minimizing = swCommand == SW_MINIMIZE || swCommand == SW_SHOWMINIMIZED ||
                            swCommand == SW_SHOWMINNOACTIVE || swCommand == SW_FORCEMINIMIZE;
    const bool restoring = !minimizing && swCommand != SW_HIDE && IsIconic(Hwnd());
    if (minimizing && !IsIconic(Hwnd())) hiddenOwned_ = VisibleOwnedWindows(Hwnd());
    ShowWindow(Hwnd(), swCommand);
    if (minimizing) {
      for (HWND owned : hiddenOwned_)
        if (IsWindow(owned) && IsWindowVisible(owned)) ShowWindow(owned, SW_HIDE);
    } else if (restoring && !IsIconic(Hwnd())) {
      for (HWND owned : hiddenOwned_)
        if (IsWindow(owned) && !IsWindowVisible(owned)) ShowWindow(owned, SW_SHOW);
      hiddenOwned_.clear();
    }
  }
  bool isIconic() const override { return IsIconic(Hwnd()) != FALSE; }
  void setTitle(const std::string& title) override { SetWindowTextW(Hwnd(), Wide(title).c_str()); }

 private:
  LRESULT OnMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept override {
    if (auto answer = handler_.handleMessage(msg, wParam, lParam))
      return static_cast<LRESULT>(*answer);
    // Activated through its taskbar button, the window hands the keyboard on to the window
    // the user actually sees.
    if (msg == WM_SETFOCUS && !IsIconic(window)) {
      try {
        for (HWND shown : VisibleOwnedWindows(window))
          if (IsWindowEnabled(shown)) {
            SetFocus(shown);
            return 0;
          }
      } catch (...) {
        // Out of memory for the list: the focus stays where the system put it.
      }
    }
    return DefWindowProcW(window, msg, wParam, lParam);
  }

  // The visible windows of this thread that `owner` owns.
  static std::vector<HWND> VisibleOwnedWindows(HWND owner) {
    struct Search {
      HWND owner;
      std::vector<HWND> found;
    } search{owner, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND candidate, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          if (GetWindow(candidate, GW_OWNER) == s->owner && IsWindowVisible(candidate))
            s->found.push_back(candidate);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  MessageHandler& handler_;
  std::vector<HWND> hiddenOwned_;
};

}  // namespace

// A hidden top-level window of the desktop's own (the program's windows with timers are
// message-only, which power broadcasts do not reach). It is no window of the program's: a
// request to close it is not the program's to end.
class Win32Desktop::PowerWindow final : public WindowObject {
 public:
  explicit PowerWindow(Win32Desktop& desktop) : desktop_(desktop) {
    desktop.RegisterWindowClass(window_class::kPower, nullptr, nullptr, nullptr);
    Create(WS_EX_TOOLWINDOW, window_class::kPower, "", WS_POPUP, 0, 0, 0, 0, nullptr);
  }

 private:
  LRESULT OnMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept override {
    if (msg == WM_POWERBROADCAST && wParam == PBT_APMRESUMEAUTOMATIC) desktop_.Resumed();
    if (msg == WM_CLOSE) return 0;
    return DefWindowProcW(window, msg, wParam, lParam);
  }

  Win32Desktop& desktop_;
};

class Win32Desktop::ClassRegistration {
 public:
  ClassRegistration(HINSTANCE instance, const std::string& name, HBRUSH background, HICON icon,
                    HICON smallIcon)
      : instance_(instance), name_(Wide(name)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowObject::Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.lpszClassName = name_.c_str();
    registered_ = RegisterClassExW(&wc) != 0;
  }
  ~ClassRegistration() {
    if (registered_) UnregisterClassW(name_.c_str(), instance_);
  }
  ClassRegistration(const ClassRegistration&) = delete;
  ClassRegistration& operator=(const ClassRegistration&) = delete;

 private:
  HINSTANCE instance_;
  std::wstring name_;
  bool registered_ = false;
};

Win32Desktop::Win32Desktop(HINSTANCE instance, std::optional<ThemeApi> theme,
                           ElapsedTimers::Clock clock)
    : instance_(instance),
      timers_(clock ? std::move(clock) : ElapsedTimers::Clock(&ElapsedMilliseconds),
              {[](WindowId window, std::uintptr_t id, std::uint32_t ms) {
                 return SetTimer(ToHwnd(window), static_cast<UINT_PTR>(id), ms, nullptr) != 0;
               },
               [](WindowId window, std::uintptr_t id) {
                 KillTimer(ToHwnd(window), static_cast<UINT_PTR>(id));
               }}) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (theme) {
    theme_ = *theme;
  } else {
    uxtheme_.reset(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    theme_ = ThemeApi::From(uxtheme_.get());
  }
  smallIcon_.reset(
      static_cast<HICON>(LoadImageW(instance, L"ZANTO", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                    GetSystemMetrics(SM_CYSMICON), 0)));
  largeIcon_.reset(
      static_cast<HICON>(LoadImageW(instance, L"ZANTO", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                    GetSystemMetrics(SM_CYICON), 0)));
  RegisterWindowClass(kTaskbarClass, nullptr, largeIcon_.get(), smallIcon_.get());
}

// The windows are gone by now; the classes go before the icons they name.
Win32Desktop::~Win32Desktop() {
  power_.reset();
  classes_.clear();
}

void Win32Desktop::RegisterWindowClass(const std::string& name, HBRUSH background, HICON icon,
                                       HICON smallIcon) {
  if (classes_.count(name)) return;
  classes_.emplace(
      name, std::make_unique<ClassRegistration>(instance_, name, background, icon, smallIcon));
}

HICON Win32Desktop::Icon(IconId id, bool small) const {
  if (id == IconId::None) return nullptr;
  return small ? smallIcon_.get() : largeIcon_.get();
}

void Win32Desktop::AddForm(Win32Form& form) {
  forms_.push_back(&form);
}

void Win32Desktop::RemoveForm(Win32Form& form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), &form), forms_.end());
}

// --- Windows --------------------------------------------------------------------------------

std::unique_ptr<NativeWindow> Win32Desktop::createWindow(const std::string& className,
                                                         MessageHandler& handler,
                                                         bool messageOnly) {
  RegisterWindowClass(className, nullptr, nullptr, nullptr);
  return std::make_unique<HandlerWindow>(*this, className, handler, messageOnly);
}

std::unique_ptr<TaskbarWindow> Win32Desktop::createTaskbarWindow(const std::string& title,
                                                                 MessageHandler& handler) {
  return std::make_unique<Win32TaskbarWindow>(*this, title, handler);
}

std::unique_ptr<NativeForm> Win32Desktop::createForm(const FormDef& def, WindowId owner,
                                                     FormEvents& events) {
  return std::make_unique<Win32Form>(*this, def, ToHwnd(owner), events);
}

bool Win32Desktop::setForegroundWindow(WindowId window) {
  return SetForegroundWindow(ToHwnd(window)) != FALSE;
}

void Win32Desktop::postMessage(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  PostMessageW(ToHwnd(window), msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

int Win32Desktop::trackPopupMenu(WindowId owner, Point at, const std::string& /*menuName*/,
                                 const std::vector<MenuItemView>& items) {
  MenuPtr menu(CreatePopupMenu());
  if (!menu) return 0;
  for (const MenuItemView& item : items) {
    if (item.caption == "-") {
      AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AppendMenuW(menu.get(), MF_STRING, static_cast<UINT_PTR>(item.command),
                Wide(item.caption).c_str());
    if (item.isDefault) SetMenuDefaultItem(menu.get(), static_cast<UINT>(item.command), FALSE);
  }
  const UINT flags =
      PopupMenuFlags(GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0) | TPM_RIGHTBUTTON | TPM_RETURNCMD;
  return static_cast<int>(TrackPopupMenu(menu.get(), flags, at.x, at.y, 0, ToHwnd(owner), nullptr));
}

void Win32Desktop::errorBox(const std::string& caption, const std::string& text) {
  // Modal to the window the user is working in; with none shown, to the whole program.
  HWND owner = GetActiveWindow();
  UINT flags = MB_OK | MB_ICONERROR | MB_SETFOREGROUND;
  if (!owner) flags |= MB_TASKMODAL;
  MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), flags);
}

bool Win32Desktop::setTimer(WindowId window, std::uintptr_t id, std::uint32_t ms) {
  if (!power_) {
    try {
      power_ = std::make_unique<PowerWindow>(*this);
    } catch (...) {
      // No window to hear of waking: the timers still count the hours asleep, and a tick
      // that came due meanwhile comes with the system's next countdown.
    }
  }
  return timers_.Set(window, id, ms);
}

void Win32Desktop::killTimer(WindowId window, std::uintptr_t id) {
  timers_.Kill(window, id);
}

void Win32Desktop::Resumed() {
  for (const ElapsedTimers::Key& key : timers_.Resumed())
    SendMessageW(ToHwnd(key.first), WM_TIMER, static_cast<WPARAM>(key.second), 0);
}

// --- Input --------------------------------------------------------------------------------

bool Win32Desktop::keyDown(int virtualKey) {
  return (GetKeyState(virtualKey) & 0x8000) != 0;
}

Point Win32Desktop::cursorPos() {
  POINT p{};
  if (!GetCursorPos(&p)) return {};
  return {static_cast<int>(p.x), static_cast<int>(p.y)};
}

std::uint32_t Win32Desktop::doubleClickTime() {
  return GetDoubleClickTime();
}

// --- Loop ---------------------------------------------------------------------------------

bool Win32Desktop::TranslateKeyboard(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  // A handler may close a form: each is looked for again before it is asked.
  const std::vector<Win32Form*> forms = forms_;
  for (Win32Form* form : forms) {
    if (std::find(forms_.begin(), forms_.end(), form) == forms_.end()) continue;
    if (form->TranslateKey(msg)) return true;
  }
  return false;
}

bool Win32Desktop::handOverToRunning() {
  // A Zanto that is still starting has its tray window within moments; one that never gets
  // it is not waited for long.
  constexpr DWORD kPatienceMs = 5000;
  if (ClaimSession(sessionClaim_)) return false;
  return HandOverToRunningZanto(sessionClaim_, handover::Start, kPatienceMs);
}

void Win32Desktop::runMessageLoop() {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) return;
    if (TranslateKeyboard(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Win32Desktop::quit() {
  PostQuitMessage(0);
}

}  // namespace zanto::platform::win32
