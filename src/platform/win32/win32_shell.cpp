#include "platform/win32/win32_shell.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_window.h"

namespace zanto::platform::win32 {

namespace {

// The record sizes the portable side speaks of are those of the 32-bit system; the target's
// own sizes of the same two layouts are what the shell of this build expects.
constexpr std::uint32_t kShortRecordSize = 88;

// Copies an 8-bit text field, cut to fit (`limit` counts the terminating NUL too) and always
// terminated.
template <std::size_t N>
void CopyField(char (&to)[N], const RecordText& from, LeadByteTest isLeadByte,
               std::size_t limit = N) {
  std::string_view text = from.bytes;
  if (from.encoding == TextEncoding::Utf8) text = {};  // never in the 8-bit record
  text = text.substr(0, text.find('\0'));
  const std::size_t n = WholeCharacters(text, std::min(limit, N) - 1, isLeadByte);
  std::copy_n(text.data(), n, to);
  to[n] = '\0';
}

// The same for a wide field: 8-bit text read in the system's code page, Unicode text as it is.
template <std::size_t N>
void CopyField(wchar_t (&to)[N], const RecordText& from, std::size_t limit = N) {
  std::wstring text;
  if (from.encoding == TextEncoding::Utf8) {
    text = Wide(from.bytes);
  } else if (!from.bytes.empty()) {
    const int size = static_cast<int>(WholeCharacters(from.bytes, N - 1, &SystemLeadByte));
    text.resize(static_cast<std::size_t>(size));
    text.resize(static_cast<std::size_t>(
        std::max(0, MultiByteToWideChar(CP_ACP, 0, from.bytes.data(), size, text.data(), size))));
  }
  text = text.substr(0, text.find(L'\0'));
  std::size_t n = std::min(text.size(), std::min(limit, N) - 1);
  // A surrogate pair stays whole.
  if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  std::copy_n(text.data(), n, to);
  to[n] = L'\0';
}

std::wstring SystemDirectoryFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(dir, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return name;
  return std::wstring(dir, length) + L"\\" + name;
}

}  // namespace

bool SystemLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

std::size_t WholeCharacters(std::string_view bytes, std::size_t limit, LeadByteTest isLeadByte) {
  const std::size_t end = std::min(bytes.size(), limit);
  std::size_t i = 0;
  while (i < end) {
    const std::size_t length = isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    if (i + length > end) break;
    i += length;
  }
  return i;
}

namespace {

// Either layout of the record, 8-bit or wide: `copy` puts a text into one of its fields.
template <class Record, class Copy>
void FillRecord(const NotifyIconData& data, HICON icon, Record& record, DWORD shortSize,
                DWORD longSize, const Copy& copy) {
  record = Record{};
  const bool shortRecord = data.cbSize <= kShortRecordSize;
  record.cbSize = shortRecord ? shortSize : longSize;
  record.hWnd = reinterpret_cast<HWND>(data.hWnd);
  record.uID = data.uID;
  record.uFlags = data.uFlags;
  record.uCallbackMessage = data.uCallbackMessage;
  record.hIcon = icon;
  copy(record.szTip, data.szTip, shortRecord ? 64 : std::size(record.szTip));
  if (!shortRecord) {
    copy(record.szInfo, data.szInfo, std::size(record.szInfo));
    record.uTimeout = data.uTimeout;
    copy(record.szInfoTitle, data.szInfoTitle, std::size(record.szInfoTitle));
    record.dwInfoFlags = data.dwInfoFlags;
  }
}

}  // namespace

void FillShellRecord(const NotifyIconData& data, HICON icon, NOTIFYICONDATAA& record,
                     LeadByteTest isLeadByte) {
  FillRecord(data, icon, record, NOTIFYICONDATAA_V1_SIZE, NOTIFYICONDATAA_V2_SIZE,
             [&](auto& to, const RecordText& from, std::size_t limit) {
               CopyField(to, from, isLeadByte, limit);
             });
}

void FillShellRecord(const NotifyIconData& data, HICON icon, NOTIFYICONDATAW& record) {
  FillRecord(
      data, icon, record, NOTIFYICONDATAW_V1_SIZE, NOTIFYICONDATAW_V2_SIZE,
      [](auto& to, const RecordText& from, std::size_t limit) { CopyField(to, from, limit); });
}

int SmallIconSize(UINT dpi, MetricsForDpi metricsForDpi) {
  if (dpi == 0) dpi = 96;
  if (metricsForDpi)
    if (const int size = metricsForDpi(SM_CXSMICON, dpi); size > 0) return size;
  return MulDiv(16, static_cast<int>(dpi), 96);
}

UINT TaskbarDpi() {
  using Fn = UINT(WINAPI*)(HWND);
  const auto dpiForWindow = ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr); taskbar && dpiForWindow)
    if (const UINT dpi = dpiForWindow(taskbar)) return dpi;
  return SystemDpi();
}

bool AllowShellBroadcasts(HWND window, const ChangeMessageFilter& filter) {
  if (!filter) return false;   // before Windows 7 nothing is filtered
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
  bool allowed = true;
  for (const std::wstring& name : {std::wstring(L"TaskbarCreated"), Wide(kHandOverMessage)}) {
    const UINT message = RegisterWindowMessageW(name.c_str());
    allowed = message != 0 && filter(window, message, kAllow) != FALSE && allowed;
  }
  return allowed;
}

ChangeMessageFilter SystemMessageFilter() {
  using Fn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  const auto change =
      ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx");
  if (!change) return {};
  return [change](HWND window, UINT message, DWORD action) {
    return change(window, message, action, nullptr);
  };
}

// --- The desktop's notification area ---------------------------------------------------------

bool Win32Desktop::notifyIcon(std::uint32_t message, const NotifyIconData& data) {
  if (data.wide()) {
    NOTIFYICONDATAW record;
    FillShellRecord(data, TrayIcon(data.hIcon), record);
    return Shell_NotifyIconW(message, &record) != FALSE;
  }
  NOTIFYICONDATAA record;
  FillShellRecord(data, TrayIcon(data.hIcon), record);
  return Shell_NotifyIconA(message, &record) != FALSE;
}

HICON Win32Desktop::TrayIcon(IconId id) {
  if (id == IconId::None) return nullptr;
  using Fn = int(WINAPI*)(int, UINT);
  const int size = SmallIconSize(
      TaskbarDpi(), ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi"));
  IconPtr& icon = trayIcons_[size];
  if (!icon)
    icon.reset(static_cast<HICON>(LoadImageW(instance_, L"ZANTO", IMAGE_ICON, size, size, 0)));
  // Out of memory for a new size: the system's small icon is still better than none.
  return icon ? icon.get() : smallIcon_.get();
}

std::uint32_t Win32Desktop::shellVersion() {
  // version.dll is no KnownDLL: it is loaded from System32 by full path, never from the
  // program's directory.
  if (!versionLibrary_)
    versionLibrary_.reset(LoadLibraryW(SystemDirectoryFile(L"version.dll").c_str()));
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  const auto infoSize = ProcAddress<SizeFn>(versionLibrary_.get(), "GetFileVersionInfoSizeW");
  const auto info = ProcAddress<InfoFn>(versionLibrary_.get(), "GetFileVersionInfoW");
  const auto query = ProcAddress<QueryFn>(versionLibrary_.get(), "VerQueryValueW");
  if (!infoSize || !info || !query) return 0;

  const std::wstring shell = SystemDirectoryFile(L"shell32.dll");
  DWORD ignored = 0;
  const DWORD size = infoSize(shell.c_str(), &ignored);
  if (size == 0) return 0;
  std::vector<char> block(size);
  if (!info(shell.c_str(), 0, size, block.data())) return 0;
  void* value = nullptr;
  UINT length = 0;
  if (!query(block.data(), L"\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO))
    return 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  if (fixed->dwSignature != VS_FFI_SIGNATURE) return 0;
  // major * 65536 + minor is exactly the upper half of the file version.
  return fixed->dwFileVersionMS;
}

std::uint32_t Win32Desktop::registerWindowMessage(const std::string& name) {
  return RegisterWindowMessageW(Wide(name).c_str());
}

bool Win32Desktop::registerServiceProcess(bool hide) {
  if (!serviceProcessLookedUp_) {
    serviceProcessLookedUp_ = true;
    registerServiceProcess_ = ProcAddress<DWORD(WINAPI*)(DWORD, DWORD)>(
        GetModuleHandleW(L"kernel32.dll"), "RegisterServiceProcess");
  }
  if (!registerServiceProcess_) return false;
  return registerServiceProcess_(GetCurrentProcessId(), hide ? 1 : 0) != 0;
}

}  // namespace zanto::platform::win32
