// zanto-driver: drives a running zanto.exe from outside, as a user and the shell would, and
// reads back what a user would see. One command per run; e2e/run.sh strings them together.
//
//   zanto-driver COMMAND [ARGS...]
//
// Every command prints what it did and saw, one line each, and exits 0 when what it was
// asked to check holds, 1 when it does not, 2 on bad usage. Every wait is bounded.
#include <windows.h>
// Needs the types of <windows.h>.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "platform/window_classes.h"
#include "window_probe.h"

using zanto::platform::win32::ExtendedLengthPath;
using zanto::platform::win32::Utf8;
using zanto::platform::win32::Wide;

using namespace zanto::e2e;

namespace {

constexpr const char* kFormClass = zanto::platform::window_class::kSettings;
constexpr const char* kTaskbarClass = zanto::platform::window_class::kTaskbar;
constexpr UINT kIconCallback = WM_USER + 1;
constexpr UINT kIconId = 1;

using Handle = zanto::platform::win32::KernelHandle;
using zanto::platform::win32::OwnFileHandle;

HWND FormWindow() {
  return FindWindowA(kFormClass, nullptr);
}
HWND TaskbarWindow() {
  return FindWindowA(kTaskbarClass, nullptr);
}

HWND ChildOfClass(HWND parent, const char* name) {
  for (HWND w : ChildWindows(parent))
    if (ClassName(w) == name) return w;
  return nullptr;
}

// The shell's balloon: a visible balloon-style tooltip of explorer's.
HWND VisibleBalloon() {
  for (HWND w : TopLevelWindows())
    if (IsWindowVisible(w) && ClassName(w) == "tooltips_class32" &&
        (GetWindowLongA(w, GWL_STYLE) & TTS_BALLOON))
      return w;
  return nullptr;
}

HWND VisibleMenu() {
  HWND menu = FindWindowA("#32768", nullptr);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

HWND ErrorBoxOf(DWORD pid) {
  for (HWND w : TopLevelWindows())
    if (IsWindowVisible(w) && ClassName(w) == "#32770" && ProcessOf(w) == pid &&
        WindowText(w) == "Zanto")
      return w;
  return nullptr;
}

std::string ErrorBoxText(HWND box) {
  for (HWND w : ChildWindows(box))
    if (ClassName(w) == "Static") {
      std::string text = WindowText(w);
      if (!text.empty()) return text;
    }
  return {};
}

void PostKey(HWND window, UINT vk) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(window, WM_KEYDOWN, vk, scan | 1);
  PostMessageA(window, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
}

// The control with the keyboard focus in the program's window, as a user would name it
// (a button by its caption), and the button Enter would press.
std::string FocusedControl(HWND form) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!form || !GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info) || !info.hwndFocus)
    return "";
  const std::string kind = ClassName(info.hwndFocus);
  if (kind == WC_TABCONTROLA) return "tabs";
  if (kind == WC_LISTVIEWA) return "list";
  if (kind != "Button") return kind;
  std::string caption = WindowText(info.hwndFocus);
  caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
  return caption;
}

std::string DefaultButton(HWND form) {
  for (HWND w : ChildWindows(form))
    if (ClassName(w) == "Button" &&
        (GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      std::string caption = WindowText(w);
      caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
      return caption;
    }
  return "";
}

// What a user of the program can see, as key=value pairs.
std::map<std::string, std::string> Observe() {
  std::map<std::string, std::string> s;
  HWND tray = TrayWindow();
  s["running"] = tray ? "1" : "0";
  s["icon"] = tray && IconPresent(tray) ? "1" : "0";
  HWND taskbar = TaskbarWindow();
  s["taskbar_visible"] = taskbar && IsWindowVisible(taskbar) ? "1" : "0";
  s["taskbar_caption"] = taskbar ? WindowText(taskbar) : "";
  HWND form = FormWindow();
  s["form_visible"] = form && IsWindowVisible(form) ? "1" : "0";
  s["form_caption"] = form ? WindowText(form) : "";
  s["form_iconic"] = form && IsIconic(form) ? "1" : "0";
  HWND tabs = form ? ChildOfClass(form, WC_TABCONTROLA) : nullptr;
  s["page"] = tabs ? std::to_string(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)) : "";
  s["pages"] = tabs ? std::to_string(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) : "";
  HWND list = form ? ChildOfClass(form, WC_LISTVIEWA) : nullptr;
  s["rows"] = list ? std::to_string(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : "";
  s["list_visible"] = list && IsWindowVisible(list) ? "1" : "0";
  HWND balloon = VisibleBalloon();
  s["balloon"] = balloon ? WindowText(balloon) : "";
  s["focus"] = form && IsWindowVisible(form) ? FocusedControl(form) : "";
  s["default"] = form ? DefaultButton(form) : "";
  s["front"] = form && GetForegroundWindow() == form ? "1" : "0";
  return s;
}

void PrintState(const std::map<std::string, std::string>& s) {
  for (const auto& [key, value] : s) std::printf("  %s=%s\n", key.c_str(), value.c_str());
}

int Fail(const char* format, const std::string& detail = {}) {
  std::printf("FAIL: ");
  std::printf(format, detail.c_str());
  std::printf("\n");
  return 1;
}

HANDLE Launch(const std::string& exe) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + Wide(exe) + L"\"";
  // Started from elsewhere: the program must find its quotes beside itself, not here. A
  // path beyond the classic limit is named in its extended form, which every call takes.
  const std::wstring application = ExtendedLengthPath(Wide(exe));
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      L"C:\\", &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of("\\:");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// --- Commands ---------------------------------------------------------------------------

// launch EXE [--balloon | --rows N]: starts the program and waits for its tray window (and
// its first balloon, or its quote list to hold N rows).
int CmdLaunch(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  if (TrayWindow()) return Fail("a program with a tray window is already running");
  const double start = NowMs();
  Handle process(Launch(args[0]));
  if (!process) return Fail("cannot start %s", args[0]);
  HWND tray = nullptr;
  if (!WaitUntil([&] { return (tray = TrayWindow()) != nullptr; }, 20000))
    return Fail("no TTrayIconWindow within 20 s");
  const double trayAt = NowMs();
  std::printf("tray window after %.0f ms (pid %lu)\n", trayAt - start,
              static_cast<unsigned long>(ProcessOf(tray)));
  if (args.size() > 2 && args[1] == "--rows") {
    const std::string rows = args[2];
    if (!WaitUntil([&] { return Observe()["rows"] == rows; }, 60000))
      return Fail("the quote list did not reach %s rows within 60 s", rows);
    std::printf("list of %s rows loaded after %.0f ms from the start\n", rows.c_str(),
                NowMs() - start);
    return 0;
  }
  const bool wantBalloon = args.size() > 1 && args[1] == "--balloon";
  if (!wantBalloon) return 0;
  HWND balloon = nullptr;
  if (!WaitUntil([&] { return (balloon = VisibleBalloon()) != nullptr; }, 15000))
    return Fail("no balloon within 15 s of the tray window");
  std::printf("first balloon after %.0f ms from the tray window: \"%s\"\n", NowMs() - trayAt,
              WindowText(balloon).c_str());
  return 0;
}

// The form is in front, the keyboard in it.
bool FormInFront() {
  HWND form = FormWindow();
  return form && IsWindowVisible(form) && GetForegroundWindow() == form &&
         !FocusedControl(form).empty();
}

void RunOwnMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// second-start EXE [--behind]: starts the program again while it runs. The new process must
// end within 2 s with exit code 0, the running one stay the only one with a tray window,
// and its window come to the front with the keyboard in it. --behind: a window of another
// program is in front first.
int CmdSecondStart(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  HWND tray = TrayWindow();
  if (!tray) return Fail("no program running");
  const DWORD running = ProcessOf(tray);
  std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)> other(nullptr,
                                                                               &DestroyWindow);
  if (args.size() > 1 && args[1] == "--behind") {
    other.reset(CreateWindowExW(0, L"Static", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                150, 120, 520, 360, nullptr, nullptr, nullptr, nullptr));
    if (!other) return Fail("cannot make a window of another program");
    SetForegroundWindow(other.get());
    if (!WaitUntil([&] { return RunOwnMessages(), GetForegroundWindow() == other.get(); }, 3000))
      return Fail("the other program's window did not come to the front");
    std::printf("another program's window is in front\n");
  }
  const double start = NowMs();
  Handle process(Launch(args[0]));
  if (!process) return Fail("cannot start %s", args[0]);
  if (!WaitUntil(
          [&] { return RunOwnMessages(), WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; },
          2000)) {
    TerminateProcess(process.get(), 9);
    return Fail("the second start still runs after 2 s");
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  std::printf("the second start ended after %.0f ms with exit code %lu\n", NowMs() - start,
              static_cast<unsigned long>(code));
  if (code != 0) return Fail("the second start's exit code is not 0");
  int trays = 0;
  for (HWND w : TopLevelWindows())
    if (ClassName(w) == zanto::platform::window_class::kTrayIcon) ++trays;
  if (trays != 1 || !TrayWindow() || ProcessOf(TrayWindow()) != running)
    return Fail("%s",
                "not the one program that ran before: " + std::to_string(trays) + " tray windows");
  if (!WaitUntil([&] { return RunOwnMessages(), FormInFront(); }, 3000)) {
    PrintState(Observe());
    return Fail("the window did not come to the front with the keyboard in it");
  }
  std::printf("the running program's window is in front, focus on %s\n",
              FocusedControl(FormWindow()).c_str());
  return 0;
}

// state: prints what a user sees.
int CmdState(const std::vector<std::string>&) {
  PrintState(Observe());
  return 0;
}

// KEY=VALUE pairs of what a user sees, and the one option OPTION MS among them. False on a
// word that is neither.
using Wanted = std::vector<std::pair<std::string, std::string>>;
bool parseWanted(const std::vector<std::string>& args, const char* option, double& ms,
                 Wanted& wanted) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == option && i + 1 < args.size()) {
      ms = std::atof(args[++i].c_str());
      continue;
    }
    const auto eq = args[i].find('=');
    if (eq == std::string::npos) return false;
    wanted.emplace_back(args[i].substr(0, eq), args[i].substr(eq + 1));
  }
  return true;
}

bool Holds(const Wanted& wanted, std::map<std::string, std::string>& seen) {
  for (const auto& [key, value] : wanted)
    if (seen[key] != value) return false;
  return true;
}

std::string Describe(const Wanted& wanted) {
  std::string text;
  for (const auto& [key, value] : wanted) text += " " + key + "=" + value;
  return text;
}

// wait KEY=VALUE... [--timeout MS]: until every pair holds; prints the time it took.
int CmdWait(const std::vector<std::string>& args) {
  double timeout = 10000;
  Wanted wanted;
  if (!parseWanted(args, "--timeout", timeout, wanted)) return 2;
  const double start = NowMs();
  std::map<std::string, std::string> seen;
  if (!WaitUntil([&] { return Holds(wanted, seen = Observe()); }, timeout)) {
    PrintState(seen);
    return Fail("not seen within the time:%s", Describe(wanted));
  }
  std::printf("seen after %.0f ms:%s\n", NowMs() - start, Describe(wanted).c_str());
  return 0;
}

// still KEY=VALUE... --for MS: every pair holds now and keeps holding for MS ms; fails as
// soon as one does not. What must not happen is watched for the whole time, so that it
// cannot pass for not having happened yet.
int CmdStill(const std::vector<std::string>& args) {
  double span = -1;
  Wanted wanted;
  if (!parseWanted(args, "--for", span, wanted) || span < 0 || wanted.empty()) return 2;
  const double start = NowMs();
  std::map<std::string, std::string> seen;
  if (WaitUntil([&] { return !Holds(wanted, seen = Observe()); }, span)) {
    PrintState(seen);
    const std::string after = std::to_string(static_cast<long>(NowMs() - start));
    return Fail("no longer so after %s", after + " ms; wanted" + Describe(wanted));
  }
  std::printf("held for %.0f ms:%s\n", NowMs() - start, Describe(wanted).c_str());
  return 0;
}

// balloon [--other-than TEXT] [--timeout MS]: waits for a visible balloon and prints it.
int CmdBalloon(const std::vector<std::string>& args) {
  double timeout = 15000;
  std::string otherThan;
  bool haveOther = false;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--timeout")
      timeout = std::atof(args[++i].c_str());
    else if (args[i] == "--other-than")
      otherThan = args[++i], haveOther = true;
  }
  const double start = NowMs();
  std::string text;
  const bool seen = WaitUntil(
      [&] {
        HWND balloon = VisibleBalloon();
        if (!balloon) return false;
        text = WindowText(balloon);
        return !haveOther || text != otherThan;
      },
      timeout);
  if (!seen) return Fail("no (new) balloon within the time");
  std::printf("balloon after %.0f ms: \"%s\"\n", NowMs() - start, text.c_str());
  return 0;
}

// menu-open: a right click on the icon, as the shell reports it.
int CmdMenuOpen(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  PostMessageA(tray, kIconCallback, kIconId, WM_CONTEXTMENU);
  if (!WaitUntil([] { return VisibleMenu() != nullptr; }, 5000))
    return Fail("no pop-up menu within 5 s");
  std::printf("pop-up menu open\n");
  return 0;
}

// menu-pick N: chooses the Nth command of the open menu (separators not counted) with the
// arrow keys and Enter.
int CmdMenuPick(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  const int item = std::atoi(args[0].c_str());
  HWND menu = VisibleMenu();
  if (!menu) return Fail("no open menu");
  for (int i = 0; i <= item; ++i) PostKey(menu, VK_DOWN);
  PostKey(menu, VK_RETURN);
  if (!WaitUntil([] { return VisibleMenu() == nullptr; }, 5000))
    return Fail("the menu did not close");
  std::printf("menu command %d chosen\n", item);
  return 0;
}

// Waits for the process to end; prints how, and returns 0 when it ended with exit code 0
// and its icon gone. (Wine also drops the icon of a window that is gone, so this shows that
// the icon went, not that the program took it away itself.)
int ExpectEnded(const Handle& process, HWND tray, double since) {
  if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0)
    return Fail("the process did not end within 10 s");
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  std::printf("process ended after %.0f ms with exit code %lu\n", NowMs() - since,
              static_cast<unsigned long>(code));
  if (TrayWindow()) return Fail("the tray window is still there");
  if (IconPresent(tray)) return Fail("the shell still has the icon");
  std::printf("the shell no longer has the icon\n");
  return code == 0 ? 0 : Fail("exit code is not 0");
}

// exit-via-menu: opens the process first, so that its end can be seen, then chooses Exit.
int CmdExitViaMenu(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  Handle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(tray)));
  if (!process) return Fail("cannot open the program's process");
  if (int rc = CmdMenuOpen({})) return rc;
  if (int rc = CmdMenuPick({"3"})) return rc;
  return ExpectEnded(process, tray, NowMs());
}

// icon: whether the shell has the program's icon.
int CmdIcon(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  if (!IconPresent(tray)) return Fail("the shell does not have the icon");
  std::printf("the shell has the icon\n");
  return 0;
}

// shell-restart: the shell forgets the icon, as a restarted shell would, and broadcasts
// "TaskbarCreated" (Wine never does); the icon must come back.
int CmdShellRestart(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V2_SIZE;
  record.hWnd = tray;
  record.uID = kIconId;
  Shell_NotifyIconA(NIM_DELETE, &record);
  if (IconPresent(tray)) return Fail("the icon could not be taken away");
  std::printf("the shell forgot the icon\n");
  PostMessageA(tray, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  if (!WaitUntil([&] { return IconPresent(tray); }, 5000, 50))
    return Fail("the icon did not come back within 5 s of \"TaskbarCreated\"");
  std::printf("\"TaskbarCreated\" put the icon back\n");
  return 0;
}

// balloon-click: the user clicks the shown balloon, as the shell reports it (Wine never
// does); the program withdraws its balloons.
int CmdBalloonClick(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  if (!VisibleBalloon()) return Fail("no balloon to click");
  PostMessageA(tray, kIconCallback, kIconId, NIN_BALLOONUSERCLICK);
  const double start = NowMs();
  if (!WaitUntil([] { return VisibleBalloon() == nullptr; }, 5000))
    return Fail("the balloon is still there 5 s after the click");
  std::printf("balloon withdrawn after %.0f ms\n", NowMs() - start);
  return 0;
}

LRESULT SendWithin(HWND window, UINT msg, WPARAM wParam, bool& answered) {
  DWORD_PTR result = 0;
  answered = SendMessageTimeoutA(window, msg, wParam, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
  return static_cast<LRESULT>(result);
}

// session-end: the session asks whether it may end, then ends, as Windows tells every
// top-level window (Wine never does). The tray window must let it end and take the icon
// away itself. What the settings window answers is the program's choice; it is printed.
int CmdSessionEnd(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  HWND form = FormWindow();
  if (!tray || !form) return Fail("no tray or settings window");
  if (!IconPresent(tray)) return Fail("no icon to begin with");
  Handle process(OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(tray)));
  bool answered = false;
  const LRESULT trayAnswer = SendWithin(tray, WM_QUERYENDSESSION, 0, answered);
  if (!answered) return Fail("the tray window did not answer the session's question");
  std::printf("tray window answers the end of the session with %ld\n",
              static_cast<long>(trayAnswer));
  if (trayAnswer != TRUE) return Fail("the tray window objects to the end of the session");
  const LRESULT formAnswer = SendWithin(form, WM_QUERYENDSESSION, 0, answered);
  if (!answered) return Fail("the settings window did not answer the session's question");
  std::printf("settings window answers with %ld\n", static_cast<long>(formAnswer));

  SendWithin(tray, WM_ENDSESSION, TRUE, answered);
  if (!answered) return Fail("the tray window did not take the end of the session");
  if (!IsWindow(tray)) return Fail("the tray window is gone");
  if (IconPresent(tray)) return Fail("the icon is still in the shell after the session's end");
  std::printf("the program took its icon away itself; its window is still there\n");

  // The system would end the process after this; whether it ends first is up to it.
  SendWithin(form, WM_ENDSESSION, TRUE, answered);
  const bool ended = process && WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0;
  std::printf("after the settings window heard of it, the process %s\n",
              ended ? "ended by itself" : "waits for the system to end it");
  return 0;
}

// post MESSAGE: close | sysclose | minimize, to the shown window.
int CmdPost(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  HWND form = FormWindow();
  if (!form) return Fail("no settings window");
  if (args[0] == "close")
    PostMessageA(form, WM_CLOSE, 0, 0);
  else if (args[0] == "sysclose")
    PostMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
  else if (args[0] == "minimize")
    PostMessageA(form, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  else
    return 2;
  std::printf("posted %s to the settings window\n", args[0].c_str());
  return 0;
}

// Where a control sits in its window's client area: the gaps to the right and bottom edges,
// and its width.
struct Placement {
  long rightGap = 0, bottomGap = 0, width = 0;
};

Placement PlacementOf(HWND form, HWND control) {
  RECT client{}, box{};
  GetClientRect(form, &client);
  GetWindowRect(control, &box);
  MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&box), 2);
  return {client.right - box.right, client.bottom - box.bottom, box.right - box.left};
}

// resize DW DH: the user drags the window's corner by DW, DH pixels. The buttons keep their
// gaps to the bottom right corner; the tabs keep their gaps and grow by DW.
int CmdResize(const std::vector<std::string>& args) {
  if (args.size() < 2) return 2;
  HWND form = FormWindow();
  if (!form || !IsWindowVisible(form)) return Fail("no shown settings window");
  std::vector<HWND> watched;
  for (HWND w : ChildWindows(form))
    if (GetParent(w) == form && (ClassName(w) == "Button" || ClassName(w) == WC_TABCONTROLA))
      watched.push_back(w);
  if (watched.size() < 3) return Fail("the buttons and tabs are missing");
  std::vector<Placement> before;
  for (HWND w : watched) before.push_back(PlacementOf(form, w));
  RECT outer{};
  GetWindowRect(form, &outer);
  const int dw = std::atoi(args[0].c_str()), dh = std::atoi(args[1].c_str());
  SetWindowPos(form, nullptr, 0, 0, outer.right - outer.left + dw, outer.bottom - outer.top + dh,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Anchored controls may land a pixel off where 96-dpi units are scaled back and forth.
  auto within1 = [](long a, long b) { return a - b <= 1 && b - a <= 1; };
  std::string why;
  const bool held = WaitUntil(
      [&] {
        for (std::size_t i = 0; i < watched.size(); ++i) {
          const Placement now = PlacementOf(form, watched[i]);
          const bool tabs = ClassName(watched[i]) == WC_TABCONTROLA;
          if (!within1(now.rightGap, before[i].rightGap) ||
              !within1(now.bottomGap, before[i].bottomGap) ||
              !within1(now.width, before[i].width + (tabs ? dw : 0))) {
            why = WindowText(watched[i]) + " (" + ClassName(watched[i]) + ")";
            return false;
          }
        }
        return true;
      },
      3000);
  if (!held) return Fail("after the resize, %s is out of place", why);
  std::printf("resized by %d x %d: buttons stay at the bottom right, the tabs grow\n", dw, dh);
  return 0;
}

// key enter|escape: a key press in the shown window, where the keyboard focus is.
int CmdKey(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  HWND form = FormWindow();
  if (!form) return Fail("no settings window");
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND target = form;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info) && info.hwndFocus)
    target = info.hwndFocus;
  const UINT vk = args[0] == "enter" ? VK_RETURN : args[0] == "escape" ? VK_ESCAPE : 0;
  if (!vk) return 2;
  PostKey(target, vk);
  std::printf("pressed %s in the %s window\n", args[0].c_str(), ClassName(target).c_str());
  return 0;
}

// tab N: clicks the Nth tab of the settings window.
int CmdTab(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  HWND form = FormWindow();
  HWND tabs = form ? ChildOfClass(form, WC_TABCONTROLA) : nullptr;
  if (!tabs) return Fail("no tab control");
  const int page = std::atoi(args[0].c_str());
  // Unlike TCM_SETCURSEL, this notifies the window as a click does.
  SendMessageTimeoutA(tabs, TCM_SETCURFOCUS, page, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
  std::printf("tab %d clicked\n", page);
  return 0;
}

// locked-start EXE: starts the program while another process holds its quotes.txt open for
// writing; expects the error box that names the file. The box is left open.
int CmdLockedStart(const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  if (TrayWindow()) return Fail("a program with a tray window is already running");
  const std::string quotes = DirectoryOf(args[0]) + "quotes.txt";
  Handle held = OwnFileHandle(CreateFileW(ExtendedLengthPath(Wide(quotes)).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held) return Fail("cannot hold %s", quotes);
  std::printf("holding %s open for writing\n", quotes.c_str());
  Handle process(Launch(args[0]));
  if (!process) return Fail("cannot start %s", args[0]);
  const DWORD pid = GetProcessId(process.get());
  HWND box = nullptr;
  if (!WaitUntil([&] { return (box = ErrorBoxOf(pid)) != nullptr; }, 20000))
    return Fail("no error box within 20 s");
  const std::string text = ErrorBoxText(box);
  const std::string expected = "Cannot open file " + quotes + ".";
  std::printf("error box: \"%s\"\n", text.c_str());
  if (text != expected) return Fail("expected \"%s\"", expected);
  return 0;
}

// errorbox-ok: presses OK in the program's error box.
int CmdErrorBoxOk(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  const DWORD pid = ProcessOf(tray);
  HWND box = ErrorBoxOf(pid);
  if (!box) return Fail("no error box");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  if (!WaitUntil([&] { return ErrorBoxOf(pid) == nullptr; }, 5000))
    return Fail("the error box did not close");
  std::printf("error box closed with OK\n");
  return 0;
}

// end-task: asks the program to end as taskkill without /f, installers and the Restart
// Manager do: WM_CLOSE to its tray window. It must end as by Exit.
int CmdEndTask(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  Handle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(tray)));
  if (!process) return Fail("cannot open the program's process");
  const double start = NowMs();
  PostMessageW(tray, WM_CLOSE, 0, 0);
  std::printf("posted WM_CLOSE to the tray window\n");
  return ExpectEnded(process, tray, start);
}

// One key of the keyboard as SendInput gives it.
INPUT KeyInput(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (key == VK_PRIOR || key == VK_NEXT || key == VK_LEFT || key == VK_RIGHT)
    input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  return input;
}

// keys SPEC...: real key presses in the shown window, as the keyboard sends them: tab,
// shift+tab, ctrl+tab, ctrl+shift+tab, ctrl+pgdn, ctrl+pgup, left, right, enter, escape,
// alt+LETTER.
int CmdKeys(const std::vector<std::string>& args) {
  HWND form = FormWindow();
  if (!form || !IsWindowVisible(form)) return Fail("no shown settings window");
  SetForegroundWindow(form);
  const std::map<std::string, WORD> keys = {
      {"tab", VK_TAB},     {"pgdn", VK_NEXT},    {"pgup", VK_PRIOR},    {"left", VK_LEFT},
      {"right", VK_RIGHT}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE},
  };
  for (const std::string& spec : args) {
    std::vector<WORD> held;
    std::string rest = spec;
    for (std::size_t plus; (plus = rest.find('+')) != std::string::npos; rest.erase(0, plus + 1)) {
      const std::string mod = rest.substr(0, plus);
      if (mod == "ctrl")
        held.push_back(VK_CONTROL);
      else if (mod == "shift")
        held.push_back(VK_SHIFT);
      else if (mod == "alt")
        held.push_back(VK_MENU);
      else
        return Fail("unknown modifier in %s", spec);
    }
    WORD key = 0;
    if (const auto it = keys.find(rest); it != keys.end())
      key = it->second;
    else if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0])))
      key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(rest[0])));
    else
      return Fail("unknown key %s", spec);
    std::vector<INPUT> inputs;
    for (WORD mod : held) inputs.push_back(KeyInput(mod, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    for (auto it = held.rbegin(); it != held.rend(); ++it) inputs.push_back(KeyInput(*it, true));
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
      return Fail("the system took not every key of %s", spec);
    Sleep(150);  // one key after the other, as a person types
  }
  std::printf("pressed");
  for (const std::string& spec : args) std::printf(" %s", spec.c_str());
  std::printf("\n");
  return 0;
}

// A stand-in for a shell that is there but not ready: a window of the shell's class that the
// program's requests reach first, and that answers each with "no".
struct BusyShell {
  int refused = 0;
  static LRESULT CALLBACK Procedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
      if (auto* self = reinterpret_cast<BusyShell*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        ++self->refused;
      return FALSE;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
  }
};

// shell-busy MS EXE: starts the program while the shell refuses its icon for MS ms, as a
// shell still coming up at logon does; once the shell takes requests the icon must arrive.
int CmdShellBusy(const std::vector<std::string>& args) {
  if (args.size() < 2) return 2;
  if (TrayWindow()) return Fail("a program with a tray window is already running");
  const double busyMs = std::atof(args[0].c_str());
  BusyShell busy;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &BusyShell::Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"Shell_TrayWnd";
  if (!RegisterClassExW(&wc)) return Fail("cannot register the stand-in's class");
  HWND standIn = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP,
                                 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  if (!standIn) return Fail("cannot make the stand-in shell");
  SetWindowLongPtrW(standIn, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&busy));
  if (FindWindowW(L"Shell_TrayWnd", nullptr) != standIn)
    return Fail("the stand-in is not the shell the program would find");
  const double start = NowMs();
  Handle process(Launch(args[1]));
  if (!process) return Fail("cannot start %s", args[1]);
  while (NowMs() - start < busyMs) {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  DestroyWindow(standIn);
  std::printf("the shell refused %d requests in its first %.0f ms\n", busy.refused, busyMs);
  if (busy.refused == 0) return Fail("the program asked the busy shell nothing");
  HWND tray = TrayWindow();
  if (!tray) return Fail("no tray window");
  if (!WaitUntil([&] { return IconPresent(tray); }, 20000, 50))
    return Fail("the icon did not arrive within 20 s of the shell taking requests");
  std::printf("the icon arrived %.0f ms after the start\n", NowMs() - start);
  return 0;
}

// Memory in another process, given back when done: where a list view there can write a row.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, std::size_t size)
      : process_(process),
        at_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  char* get() const { return static_cast<char*>(at_); }

 private:
  HANDLE process_;
  void* at_;
};

// The rows of the Quotes page as the list shows them, in any script.
bool ListRows(std::size_t wanted, std::vector<std::string>& rows) {
  HWND form = FormWindow();
  HWND list = form ? ChildOfClass(form, WC_LISTVIEWA) : nullptr;
  if (!list) return false;
  Handle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                             ProcessOf(list)));
  if (!process) return false;
  constexpr int kChars = 1024;
  RemoteBuffer remote(process.get(), sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  if (!remote.get()) return false;
  const auto count = static_cast<std::size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (std::size_t row = 0; row < std::min(count, wanted); ++row) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.cchTextMax = kChars;
    item.pszText = reinterpret_cast<wchar_t*>(remote.get() + sizeof(LVITEMW));
    SIZE_T moved = 0;
    if (!WriteProcessMemory(process.get(), remote.get(), &item, sizeof item, &moved)) return false;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.get()),
                             SMTO_ABORTIFHUNG, 2000, &length))
      return false;
    wchar_t text[kChars] = {};
    if (!ReadProcessMemory(process.get(), remote.get() + sizeof(LVITEMW), text,
                           sizeof(wchar_t) * std::min<DWORD_PTR>(length, kChars - 1), &moved))
      return false;
    rows.push_back(Utf8(std::wstring_view(text, std::min<DWORD_PTR>(length, kChars - 1))));
  }
  return true;
}

// list-rows N: prints the first N rows of the Quotes page, one a line ("row: TEXT").
int CmdListRows(const std::vector<std::string>& args) {
  const std::size_t wanted =
      args.empty() ? 10 : static_cast<std::size_t>(std::atoi(args[0].c_str()));
  std::vector<std::string> rows;
  if (!ListRows(wanted, rows)) return Fail("the quote list cannot be read");
  for (const std::string& row : rows) std::printf("row: %s\n", row.c_str());
  return 0;
}

// kill: ends whatever program is left (clean-up after a failure).
int CmdKill(const std::vector<std::string>&) {
  HWND tray = TrayWindow();
  if (!tray) return 0;
  Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(tray)));
  if (process) {
    TerminateProcess(process.get(), 9);
    WaitForSingleObject(process.get(), 5000);
  }
  std::printf("killed the program\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** wideArgs) {
  const Commands commands = {
      {"launch", CmdLaunch},
      {"state", CmdState},
      {"wait", CmdWait},
      {"still", CmdStill},
      {"balloon", CmdBalloon},
      {"menu-open", CmdMenuOpen},
      {"menu-pick", CmdMenuPick},
      {"exit-via-menu", CmdExitViaMenu},
      {"icon", CmdIcon},
      {"shell-restart", CmdShellRestart},
      {"balloon-click", CmdBalloonClick},
      {"session-end", CmdSessionEnd},
      {"post", CmdPost},
      {"key", CmdKey},
      {"resize", CmdResize},
      {"tab", CmdTab},
      {"locked-start", CmdLockedStart},
      {"errorbox-ok", CmdErrorBoxOk},
      {"kill", CmdKill},
      {"end-task", CmdEndTask},
      {"keys", CmdKeys},
      {"shell-busy", CmdShellBusy},
      {"list-rows", CmdListRows},
      {"second-start", CmdSecondStart},
  };
  return RunCommandLine("zanto-driver", argc, wideArgs, commands);
}
