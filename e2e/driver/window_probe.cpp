#include "window_probe.h"

// Needs the types of <windows.h>.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/win32_text.h"
#include "platform/window_classes.h"

namespace zanto::e2e {

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER t{};
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

bool WaitUntil(const std::function<bool()>& done, double timeoutMs, DWORD pollMs) {
  const double end = NowMs() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (NowMs() >= end) return false;
    Sleep(pollMs);
  }
}

std::string WindowText(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 2000, &length))
    return {};
  return platform::win32::Utf8(std::wstring_view(text, std::min<std::size_t>(length, 1023)));
}

std::string ClassName(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return platform::win32::Utf8(
      std::wstring_view(name, static_cast<std::size_t>(std::max(0, length))));
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> windows;
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND TrayWindow() {
  return FindWindowW(platform::win32::Wide(platform::window_class::kTrayIcon).c_str(), nullptr);
}

bool IconPresent(HWND tray) {
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V2_SIZE;
  record.hWnd = tray;
  record.uID = 1;  // the program's one icon
  record.uFlags = 0;
  return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

int RunCommandLine(const char* tool, int argc, wchar_t** wideArgs, const Commands& commands) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(platform::win32::Utf8(wideArgs[i]));
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s COMMAND [ARGS...]\n", tool);
    return 2;
  }
  const auto command = commands.find(args[1]);
  if (command == commands.end()) {
    std::fprintf(stderr, "unknown command %s\n", args[1].c_str());
    return 2;
  }
  const int rc = command->second(std::vector<std::string>(args.begin() + 2, args.end()));
  std::fflush(stdout);
  return rc;
}

}  // namespace zanto::e2e
