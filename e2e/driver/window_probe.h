// What the test tools that look at Zanto from another process share: finding windows,
// reading them, and waiting against the clock. Texts come as UTF-8, whatever their script.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zanto::e2e {

double NowMs();
// Polls until `done` holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& done, double timeoutMs, DWORD pollMs = 20);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
DWORD ProcessOf(HWND window);
std::vector<HWND> TopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);

// The running Zanto's tray window; none when Zanto is not running.
HWND TrayWindow();
// Whether the shell has the icon of that window: a change of nothing, which the shell
// agrees to only while it has the icon.
bool IconPresent(HWND tray);

// A tool's commands by name: each gets the words after its name and gives the exit status.
using Command = int (*)(const std::vector<std::string>&);
using Commands = std::map<std::string, Command>;
// The whole of a tool's wmain: the command its command line names, run. Paths in any
// script arrive whole only through the wide command line.
int RunCommandLine(const char* tool, int argc, wchar_t** wideArgs, const Commands& commands);

}  // namespace zanto::e2e
