#include "platform/win32/win32_desktop.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/win32/win32_form.h"
#include "platform/win32/win32_window.h"

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
              nim::SetVersion == NIM_SETVERSION);
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

// The record sizes the portable side speaks of are those of the 32-bit system; the target's
// own sizes of the same two layouts are what the shell of this build expects.
constexpr std::uint32_t kShortRecordSize = 88;

constexpr const char* kTaskbarClass = "TApplication";

// Copies a string field, cut to fit and always terminated.
template <std::size_t N>
void copyField(char (&to)[N], const char* from, std::size_t limit = N) {
  const std::size_t size = std::min(limit, N);
  std::size_t i = 0;
  for (; i + 1 < size && from[i] != '\0'; ++i) to[i] = from[i];
  to[i] = '\0';
}

std::string systemDirectoryFile(const char* name) {
  char dir[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(dir, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return name;
  return std::string(dir, length) + "\\" + name;
}

// A plain window of the program's own: hidden top-level (so that broadcasts reach it) or
// message-only.
class HandlerWindow final : public WindowObject, public NativeWindow {
 public:
  HandlerWindow(const std::string& className, MessageHandler& handler, bool messageOnly)
      : handler_(handler) {
    create(messageOnly ? 0 : WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 0, 0,
           messageOnly ? HWND_MESSAGE : nullptr);
  }
  WindowId id() const override { return toId(hwnd()); }

 private:
  LRESULT onMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept override {
    if (auto answer = handler_.handleMessage(msg, wParam, lParam))
      return static_cast<LRESULT>(*answer);
    return DefWindowProcA(window, msg, wParam, lParam);
  }

  MessageHandler& handler_;
};

// The application's window: never seen itself (no size), it carries the taskbar button and
// owns the main window, which minimising it hides and restoring it shows again.
class Win32TaskbarWindow final : public WindowObject, public TaskbarWindow {
 public:
  Win32TaskbarWindow(Win32Desktop& desktop, const std::string& title, MessageHandler& handler)
      : handler_(handler) {
    create(0, kTaskbarClass, title,
           WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
           GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr);
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(desktop.icon(IconId::Application, false)));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(desktop.icon(IconId::Application, true)));
  }
  WindowId id() const override { return toId(hwnd()); }
  // Minimising hides the windows it owns and restoring shows them again. Windows does that
  // itself; not every system that runs this program does (Wine leaves them on screen), so
  // the window sees to it, and the second hide or show is a no-op where the system did it.
  void show(int swCommand) override {
    const bool minimizing = swCommand == SW_MINIMIZE || swCommand == SW_SHOWMINIMIZED ||
                            swCommand == SW_SHOWMINNOACTIVE || swCommand == SW_FORCEMINIMIZE;
    const bool restoring = !minimizing && swCommand != SW_HIDE && IsIconic(hwnd());
    if (minimizing && !IsIconic(hwnd())) hiddenOwned_ = visibleOwnedWindows(hwnd());
    ShowWindow(hwnd(), swCommand);
    if (minimizing) {
      for (HWND owned : hiddenOwned_)
        if (IsWindow(owned) && IsWindowVisible(owned)) ShowWindow(owned, SW_HIDE);
    } else if (restoring && !IsIconic(hwnd())) {
      for (HWND owned : hiddenOwned_)
        if (IsWindow(owned) && !IsWindowVisible(owned)) ShowWindow(owned, SW_SHOW);
      hiddenOwned_.clear();
    }
  }
  bool isIconic() const override { return IsIconic(hwnd()) != FALSE; }
  void setTitle(const std::string& title) override { SetWindowTextA(hwnd(), title.c_str()); }

 private:
  LRESULT onMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept override {
    if (auto answer = handler_.handleMessage(msg, wParam, lParam))
      return static_cast<LRESULT>(*answer);
    // Activated through its taskbar button, the window hands the keyboard on to the window
    // the user actually sees.
    if (msg == WM_SETFOCUS && !IsIconic(window)) {
      try {
        for (HWND shown : visibleOwnedWindows(window))
          if (IsWindowEnabled(shown)) {
            SetFocus(shown);
            return 0;
          }
      } catch (...) {
        // Out of memory for the list: the focus stays where the system put it.
      }
    }
    return DefWindowProcA(window, msg, wParam, lParam);
  }

  // The visible windows of this thread that `owner` owns.
  static std::vector<HWND> visibleOwnedWindows(HWND owner) {
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

class Win32Desktop::ClassRegistration {
 public:
  ClassRegistration(HINSTANCE instance, const std::string& name, HBRUSH background, HICON icon,
                    HICON smallIcon)
      : instance_(instance), name_(name) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowObject::Procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.lpszClassName = name_.c_str();
    registered_ = RegisterClassExA(&wc) != 0;
  }
  ~ClassRegistration() {
    if (registered_) UnregisterClassA(name_.c_str(), instance_);
  }
  ClassRegistration(const ClassRegistration&) = delete;
  ClassRegistration& operator=(const ClassRegistration&) = delete;

 private:
  HINSTANCE instance_;
  std::string name_;
  bool registered_ = false;
};

Win32Desktop::Win32Desktop(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  smallIcon_.reset(
      static_cast<HICON>(LoadImageA(instance, "ZANTO", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                    GetSystemMetrics(SM_CYSMICON), 0)));
  largeIcon_.reset(static_cast<HICON>(LoadImageA(
      instance, "ZANTO", IMAGE_ICON, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  registerClass(kTaskbarClass, nullptr, largeIcon_.get(), smallIcon_.get());
}

// The windows are gone by now; the classes go before the icons they name.
Win32Desktop::~Win32Desktop() {
  classes_.clear();
}

void Win32Desktop::registerClass(const std::string& name, HBRUSH background, HICON icon,
                                 HICON smallIcon) {
  if (classes_.count(name)) return;
  classes_.emplace(
      name, std::make_unique<ClassRegistration>(instance_, name, background, icon, smallIcon));
}

HICON Win32Desktop::icon(IconId id, bool small) const {
  if (id == IconId::None) return nullptr;
  return small ? smallIcon_.get() : largeIcon_.get();
}

void Win32Desktop::addDialogWindow(HWND window) {
  dialogWindows_.push_back(window);
}

void Win32Desktop::removeDialogWindow(HWND window) {
  dialogWindows_.erase(std::remove(dialogWindows_.begin(), dialogWindows_.end(), window),
                       dialogWindows_.end());
}

// --- Notification area -------------------------------------------------------------------

bool Win32Desktop::notifyIcon(std::uint32_t message, const NotifyIconData& data) {
  NOTIFYICONDATAA record{};
  const bool shortRecord = data.cbSize <= kShortRecordSize;
  record.cbSize = shortRecord ? NOTIFYICONDATAA_V1_SIZE : NOTIFYICONDATAA_V2_SIZE;
  record.hWnd = toHwnd(data.hWnd);
  record.uID = data.uID;
  record.uFlags = data.uFlags;
  record.uCallbackMessage = data.uCallbackMessage;
  // The tray shows the small picture whichever of the program's icons is meant.
  record.hIcon = icon(data.hIcon, true);
  copyField(record.szTip, data.szTip, shortRecord ? 64 : sizeof record.szTip);
  if (!shortRecord) {
    copyField(record.szInfo, data.szInfo);
    record.uTimeout = data.uTimeout;
    copyField(record.szInfoTitle, data.szInfoTitle);
    record.dwInfoFlags = data.dwInfoFlags;
  }
  return Shell_NotifyIconA(message, &record) != FALSE;
}

std::uint32_t Win32Desktop::shellVersion() {
  // version.dll is no KnownDLL: it is loaded from System32 by full path, never from the
  // program's directory.
  if (!versionLibrary_)
    versionLibrary_.reset(LoadLibraryA(systemDirectoryFile("version.dll").c_str()));
  using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
  const auto infoSize = procAddress<SizeFn>(versionLibrary_.get(), "GetFileVersionInfoSizeA");
  const auto info = procAddress<InfoFn>(versionLibrary_.get(), "GetFileVersionInfoA");
  const auto query = procAddress<QueryFn>(versionLibrary_.get(), "VerQueryValueA");
  if (!infoSize || !info || !query) return 0;

  const std::string shell = systemDirectoryFile("shell32.dll");
  DWORD ignored = 0;
  const DWORD size = infoSize(shell.c_str(), &ignored);
  if (size == 0) return 0;
  std::vector<char> block(size);
  if (!info(shell.c_str(), 0, size, block.data())) return 0;
  void* value = nullptr;
  UINT length = 0;
  if (!query(block.data(), "\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO))
    return 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  if (fixed->dwSignature != VS_FFI_SIGNATURE) return 0;
  // major * 65536 + minor is exactly the upper half of the file version.
  return fixed->dwFileVersionMS;
}

std::uint32_t Win32Desktop::registerWindowMessage(const std::string& name) {
  return RegisterWindowMessageA(name.c_str());
}

bool Win32Desktop::registerServiceProcess(bool hide) {
  if (!serviceProcessLookedUp_) {
    serviceProcessLookedUp_ = true;
    registerServiceProcess_ = procAddress<DWORD(WINAPI*)(DWORD, DWORD)>(
        GetModuleHandleA("kernel32.dll"), "RegisterServiceProcess");
  }
  if (!registerServiceProcess_) return false;
  return registerServiceProcess_(GetCurrentProcessId(), hide ? 1 : 0) != 0;
}

// --- Windows --------------------------------------------------------------------------------

std::unique_ptr<NativeWindow> Win32Desktop::createWindow(const std::string& className,
                                                         MessageHandler& handler,
                                                         bool messageOnly) {
  registerClass(className, nullptr, nullptr, nullptr);
  return std::make_unique<HandlerWindow>(className, handler, messageOnly);
}

std::unique_ptr<TaskbarWindow> Win32Desktop::createTaskbarWindow(const std::string& title,
                                                                 MessageHandler& handler) {
  return std::make_unique<Win32TaskbarWindow>(*this, title, handler);
}

std::unique_ptr<NativeForm> Win32Desktop::createForm(const FormDef& def, WindowId owner,
                                                     FormEvents& events) {
  return std::make_unique<Win32Form>(*this, def, toHwnd(owner), events);
}

bool Win32Desktop::setForegroundWindow(WindowId window) {
  return SetForegroundWindow(toHwnd(window)) != FALSE;
}

void Win32Desktop::postMessage(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  PostMessageA(toHwnd(window), msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

int Win32Desktop::trackPopupMenu(WindowId owner, Point at, const std::string& /*menuName*/,
                                 const std::vector<MenuItemView>& items) {
  MenuPtr menu(CreatePopupMenu());
  if (!menu) return 0;
  for (const MenuItemView& item : items) {
    if (item.caption == "-") {
      AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AppendMenuA(menu.get(), MF_STRING, static_cast<UINT_PTR>(item.command), item.caption.c_str());
    if (item.isDefault) SetMenuDefaultItem(menu.get(), static_cast<UINT>(item.command), FALSE);
  }
  return static_cast<int>(TrackPopupMenu(menu.get(),
                                         TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x,
                                         at.y, 0, toHwnd(owner), nullptr));
}

void Win32Desktop::errorBox(const std::string& caption, const std::string& text) {
  // Modal to the window the user is working in; with none shown, to the whole program.
  HWND owner = GetActiveWindow();
  UINT flags = MB_OK | MB_ICONERROR | MB_SETFOREGROUND;
  if (!owner) flags |= MB_TASKMODAL;
  MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

bool Win32Desktop::setTimer(WindowId window, std::uintptr_t id, std::uint32_t ms) {
  return SetTimer(toHwnd(window), static_cast<UINT_PTR>(id), ms, nullptr) != 0;
}

void Win32Desktop::killTimer(WindowId window, std::uintptr_t id) {
  KillTimer(toHwnd(window), static_cast<UINT_PTR>(id));
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

// --- Files, process, clock ----------------------------------------------------------------

std::string Win32Desktop::executablePath() {
  // Long paths do not fit MAX_PATH: grow until the whole name fits.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 65536) return {};
    path.resize(path.size() * 2);
  }
}

std::string_view Win32Desktop::pathDelimiters() {
  return "\\:";
}

std::optional<FileStamp> Win32Desktop::fileStamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FileStamp stamp;
  stamp.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  FILETIME local{};
  SYSTEMTIME time{};
  if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &time))
    stamp.localYear = time.wYear;
  return stamp;
}

ReadResult Win32Desktop::readFileDenyWriters(const std::string& path, std::string& bytes) {
  KernelHandle file =
      ownFileHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ReadResult::CannotOpen;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > bytes.max_size())
    return ReadResult::CannotRead;
  bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr) || got == 0) {
      bytes.clear();
      return ReadResult::CannotRead;
    }
    done += got;
  }
  return ReadResult::Ok;
}

std::uint32_t Win32Desktop::utcMillisecondsOfDay() {
  SYSTEMTIME t{};
  GetSystemTime(&t);
  return ((t.wHour * 60u + t.wMinute) * 60u + t.wSecond) * 1000u + t.wMilliseconds;
}

std::int64_t Win32Desktop::localTimeMilliseconds() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  FILETIME f{};
  if (!SystemTimeToFileTime(&t, &f)) return 0;
  ULARGE_INTEGER ticks{};
  ticks.LowPart = f.dwLowDateTime;
  ticks.HighPart = f.dwHighDateTime;
  return static_cast<std::int64_t>(ticks.QuadPart / 10000);  // 100-ns ticks since 1601
}

int Win32Desktop::startupShowCommand() {
  STARTUPINFOA info{};
  info.cb = sizeof info;
  GetStartupInfoA(&info);
  return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWNORMAL;
}

// --- Loop ---------------------------------------------------------------------------------

void Win32Desktop::runMessageLoop() {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) return;
    // Tab, Enter and Escape in a shown window work as in a dialog box.
    bool dialogKey = false;
    const std::vector<HWND> windows = dialogWindows_;  // a handler may close one
    for (HWND window : windows)
      if (IsWindowVisible(window) && IsDialogMessageA(window, &msg)) {
        dialogKey = true;
        break;
      }
    if (dialogKey) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void Win32Desktop::quit() {
  PostQuitMessage(0);
}

}  // namespace zanto::platform::win32
