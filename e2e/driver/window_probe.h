// What the test tools that look at Zanto from another process share: finding windows,
// reading them, and waiting against the clock. Texts come as UTF-8, whatever their script.
#pragma once

#include <windows.h>

#include <functional>
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

}  // namespace zanto::e2e
