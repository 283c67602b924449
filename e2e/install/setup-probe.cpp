// setup-probe: looks at what the Windows installer did, from inside Windows (Wine), and
// drives its pages the way a user would. One command per run; e2e/install/run.sh strings
// them together. zanto-driver (e2e/driver) does the rest: the balloon, the icon, the menu.
//
//   setup-probe COMMAND [ARGS...]
//
// Every command prints what it saw, one line each, and exits 0 when what it was asked to
// check holds, 1 when it does not, 2 on bad usage. Every wait is bounded.
#include <windows.h>
// Needs the types of <windows.h>.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "window_probe.h"

using namespace zanto::e2e;

namespace {

using Handle = zanto::platform::win32::KernelHandle;
using Key = zanto::platform::win32::RegistryKey;
using zanto::platform::win32::Utf8;
using zanto::platform::win32::Wide;

// A window's text as the probe compares it.
std::wstring WindowTextW(HWND window) {
  return Wide(WindowText(window));
}

int Fail(const std::string& what) {
  std::printf("FAIL: %s\n", what.c_str());
  return 1;
}

// A caption as a user reads it: access-key marks gone.
std::wstring Readable(std::wstring text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

// The texts a user sees in a window: its title, then every visible control's.
std::vector<std::wstring> ShownTexts(HWND window) {
  std::vector<std::wstring> texts{WindowTextW(window)};
  for (HWND w : ChildWindows(window)) {
    if (!IsWindowVisible(w)) continue;
    std::wstring text = Readable(WindowTextW(w));
    if (!text.empty()) texts.push_back(text);
  }
  return texts;
}

// The visible top-level window that shows `text` (in its title or a control).
HWND WindowShowing(const std::wstring& text) {
  for (HWND w : TopLevelWindows()) {
    if (!IsWindowVisible(w)) continue;
    for (const std::wstring& shown : ShownTexts(w))
      if (shown.find(text) != std::wstring::npos) return w;
  }
  return nullptr;
}

Key OpenUserKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return nullptr;
  return Key(key);
}

// --- Commands ---------------------------------------------------------------------------

// reg KEY: the values of HKEY_CURRENT_USER\KEY, one "name=data" a line (strings as they
// are, numbers in decimal); fails when there is no such key.
int CmdReg(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  Key key = OpenUserKey(args[0]);
  if (!key) return Fail("no key HKCU\\" + args[0]);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256, type = 0, size = 0;
    if (RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      break;
    std::vector<BYTE> data(size + sizeof(wchar_t));
    nameLength = 256;
    if (RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
      break;
    std::string value;
    if (type == REG_SZ || type == REG_EXPAND_SZ)
      value =
          Utf8(std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t)))
              .c_str();
    else if (type == REG_DWORD && size == sizeof(DWORD))
      value = std::to_string(*reinterpret_cast<const DWORD*>(data.data()));
    else
      value = "(" + std::to_string(size) + " bytes of type " + std::to_string(type) + ")";
    std::printf("%s=%s\n", Utf8(name).c_str(), value.c_str());
  }
  return 0;
}

// Starts a command line as Windows starts the programs of a Run key: the line as it is,
// from the system folder.
HANDLE StartCommandLine(const std::wstring& line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring mutableLine = line;
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, system,
                      &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// run-entry NAME: starts the command line of the Run entry NAME of the current user, and
// waits for the tray window of the process it started.
int CmdRunEntry(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  if (TrayWindow()) return Fail("a program with a tray window is already running");
  Key key = OpenUserKey("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  if (!key) return Fail("no Run key");
  wchar_t line[2048] = {};
  DWORD size = sizeof line - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key.get(), Wide(args[0]).c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(line), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return Fail("no Run entry " + args[0]);
  std::wstring command = line;
  if (type == REG_EXPAND_SZ) {
    wchar_t expanded[2048] = {};
    ExpandEnvironmentStringsW(line, expanded, 2048);
    command = expanded;
  }
  std::printf("Run entry %s: %s\n", args[0].c_str(), Utf8(command).c_str());
  Handle process(StartCommandLine(command));
  if (!process) return Fail("cannot start it (error " + std::to_string(GetLastError()) + ")");
  const DWORD pid = GetProcessId(process.get());
  HWND tray = nullptr;
  if (!WaitUntil([&] { return (tray = TrayWindow()) != nullptr && ProcessOf(tray) == pid; }, 20000))
    return Fail("no tray window of the process it started within 20 s");
  std::printf("started: process %lu has its tray window\n", static_cast<unsigned long>(pid));
  return 0;
}

// Runs a command line and waits for it; its exit code.
bool RunAndWait(const std::wstring& line, DWORD& code) {
  Handle process(StartCommandLine(line));
  if (!process) return false;
  if (WaitForSingleObject(process.get(), 180000) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(process.get(), &code) != FALSE;
}

std::wstring CommandLine(const std::vector<std::string>& args) {
  std::wstring line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += L' ';
    line += arg.find(' ') == std::string::npos ? Wide(arg) : L"\"" + Wide(arg) + L"\"";
  }
  return line;
}

// ends-zanto PROGRAM [ARGS...]: with Zanto running, runs PROGRAM (an installer or an
// uninstaller) and sees the running Zanto end as by its Exit command: exit code 0, its
// icon gone. Also reports whether a new Zanto runs afterwards.
int CmdEndsZanto(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  HWND tray = TrayWindow();
  if (!tray) return Fail("no Zanto running to begin with");
  const DWORD pid = ProcessOf(tray);
  Handle zanto(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!zanto) return Fail("cannot open the running Zanto");
  std::printf("Zanto runs as process %lu\n", static_cast<unsigned long>(pid));
  DWORD code = 0;
  if (!RunAndWait(CommandLine(args), code)) return Fail("cannot run " + args[0]);
  std::printf("%s ended with exit code %lu\n", args[0].c_str(), static_cast<unsigned long>(code));
  if (code != 0) return Fail("it failed");
  // An uninstaller goes on from a copy of itself; give it the time.
  if (WaitForSingleObject(zanto.get(), 30000) != WAIT_OBJECT_0)
    return Fail("the running Zanto did not end");
  DWORD zantoCode = 1;
  GetExitCodeProcess(zanto.get(), &zantoCode);
  std::printf("the running Zanto ended with exit code %lu\n",
              static_cast<unsigned long>(zantoCode));
  if (IconPresent(tray)) return Fail("the shell still has its icon");
  std::printf("its icon is gone\n");
  if (zantoCode != 0) return Fail("it did not end as by Exit");
  HWND next = nullptr;
  const bool again =
      WaitUntil([&] { return (next = TrayWindow()) != nullptr && ProcessOf(next) != pid; }, 3000);
  std::printf(again ? "a new Zanto runs (process %lu)\n" : "no Zanto runs now\n",
              static_cast<unsigned long>(again ? ProcessOf(next) : 0));
  return 0;
}

// run PROGRAM [ARGS...]: runs it and waits; fails unless it exits with 0.
int CmdRun(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  DWORD code = 0;
  if (!RunAndWait(CommandLine(args), code)) return Fail("cannot run " + args[0]);
  std::printf("%s ended with exit code %lu\n", args[0].c_str(), static_cast<unsigned long>(code));
  return code == 0 ? 0 : Fail("it failed");
}

// start PROGRAM [ARGS...]: starts it and goes (an interactive installer, driven by `press`).
int CmdStart(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  Handle process(StartCommandLine(CommandLine(args)));
  if (!process) return Fail("cannot start " + args[0]);
  std::printf("started %s\n", args[0].c_str());
  return 0;
}

// Waits for the window that shows args[0] (args[1..2]: --timeout MS), and prints it.
int ShowProbedWindow(const std::vector<std::string>& args, bool front) {
  if (args.empty()) return 2;
  const DWORD timeout = args.size() > 2 && args[1] == "--timeout"
                            ? static_cast<DWORD>(std::atol(args[2].c_str()))
                            : 20000;
  HWND window = nullptr;
  if (!WaitUntil([&] { return (window = WindowShowing(Wide(args[0]))) != nullptr; }, timeout))
    return Fail("no window shows \"" + args[0] + "\"");
  if (front && !WaitUntil(
                   [&] {
                     SetForegroundWindow(window);
                     return GetForegroundWindow() == window;
                   },
                   2000))
    return Fail("cannot make it the active window");
  RECT r{};
  GetWindowRect(window, &r);
  std::printf("rect=%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  for (const std::wstring& text : ShownTexts(window)) std::printf("| %s\n", Utf8(text).c_str());
  return 0;
}

// window TEXT [--timeout MS]: waits for a visible window that shows TEXT; prints where it is
// on the desktop (WxH+X+Y) and its texts.
int CmdWindow(const std::vector<std::string>& args) {
  return ShowProbedWindow(args, false);
}

// front TEXT [--timeout MS]: as window, and makes it the active window, as it is for a user
// who just clicked in it.
int CmdFront(const std::vector<std::string>& args) {
  return ShowProbedWindow(args, true);
}

// press TEXT BUTTON: in the window that shows TEXT, presses the enabled button BUTTON (its
// caption as a user reads it: "Next >", "Install", "No").
int CmdPress(const std::vector<std::string>& args) {
  if (args.size() != 2) return 2;
  HWND window = nullptr;
  HWND button = nullptr;
  const bool found = WaitUntil(
      [&] {
        window = WindowShowing(Wide(args[0]));
        if (!window) return false;
        for (HWND w : ChildWindows(window))
          if (ClassName(w) == "Button" && IsWindowVisible(w) && IsWindowEnabled(w) &&
              Readable(WindowTextW(w)) == Wide(args[1])) {
            button = w;
            return true;
          }
        return false;
      },
      20000);
  if (!found)
    return Fail("no button \"" + args[1] + "\" in a window that shows \"" + args[0] + "\"");
  // As a click does: the button tells its parent.
  PostMessageW(GetParent(button), WM_COMMAND,
               MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button)), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  std::printf("pressed \"%s\"\n", args[1].c_str());
  return 0;
}

// gone TEXT [--timeout MS]: waits until no visible window shows TEXT.
int CmdGone(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  const DWORD timeout = args.size() > 2 && args[1] == "--timeout"
                            ? static_cast<DWORD>(std::atol(args[2].c_str()))
                            : 30000;
  if (!WaitUntil([&] { return WindowShowing(Wide(args[0])) == nullptr; }, timeout))
    return Fail("a window still shows \"" + args[0] + "\"");
  std::printf("no window shows \"%s\"\n", args[0].c_str());
  return 0;
}

// shortcut LNK: what the shortcut starts, as the shell reads it.
int CmdShortcut(const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail("no COM");
  std::string target, icon;
  int iconIndex = 0;
  {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
      return Fail("no shell link object");
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(Wide(args[0]).c_str(), STGM_READ))) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) target = Utf8(path);
        wchar_t iconPath[MAX_PATH] = {};
        if (SUCCEEDED(link->GetIconLocation(iconPath, MAX_PATH, &iconIndex))) icon = Utf8(iconPath);
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  if (target.empty()) return Fail("cannot read the shortcut " + args[0]);
  std::printf("target=%s\nicon=%s,%d\n", target.c_str(), icon.c_str(), iconIndex);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** wideArgs) {
  const Commands commands = {
      {"reg", CmdReg},     {"run-entry", CmdRunEntry}, {"ends-zanto", CmdEndsZanto},
      {"run", CmdRun},     {"start", CmdStart},        {"window", CmdWindow},
      {"press", CmdPress}, {"gone", CmdGone},          {"shortcut", CmdShortcut},
      {"front", CmdFront},
  };
  return RunCommandLine("setup-probe", argc, wideArgs, commands);
}
