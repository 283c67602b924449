// The notification area as Windows has it: the shell record, the icon's size, and the
// broadcasts the shell sends to the program's hidden windows.
#pragma once

#include <windows.h>
// Needs the types of <windows.h>.
#include <shellapi.h>

#include <functional>
#include <string_view>

#include "platform/desktop.h"

namespace zanto::platform::win32 {

// The record Shell_NotifyIcon is given for the program's one: the short layout (no balloon
// fields, a tip of 64) or the long one, by the size the program chose, with every text cut
// to its field and terminated. The 8-bit record goes to Shell_NotifyIconA (a double-byte
// character is never cut in half: `isLeadByte` says which bytes begin one in the system's
// code page); the wide one, for a record that holds Unicode text, to Shell_NotifyIconW.
using LeadByteTest = bool (*)(unsigned char);
bool SystemLeadByte(unsigned char byte);
void FillShellRecord(const NotifyIconData& data, HICON icon, NOTIFYICONDATAA& record,
                     LeadByteTest isLeadByte = &SystemLeadByte);
void FillShellRecord(const NotifyIconData& data, HICON icon, NOTIFYICONDATAW& record);

// How many of `bytes` (at most `limit`) make whole characters of a double-byte code page.
std::size_t WholeCharacters(std::string_view bytes, std::size_t limit, LeadByteTest isLeadByte);

// The size of a small icon at a resolution: the system's own figure for it where it has
// GetSystemMetricsForDpi, else the 16-pixel design size scaled.
using MetricsForDpi = int(WINAPI*)(int, UINT);
int SmallIconSize(UINT dpi, MetricsForDpi metricsForDpi);

// The resolution of the monitor the notification area is on (the taskbar's), else the
// system's.
UINT TaskbarDpi();

// A process that runs elevated hears no window messages from the desktop's ordinary
// processes unless it lets them in: the shell's "TaskbarCreated" among them, so that after
// Explorer restarts the icon would never come back, nor another start's hand-over (from a
// start that is not elevated). Lets both through to `window`.
// `filter` stands for ChangeWindowMessageFilterEx(window, message, action, nullptr).
using ChangeMessageFilter = std::function<BOOL(HWND, UINT, DWORD)>;
bool AllowShellBroadcasts(HWND window, const ChangeMessageFilter& filter);
// The system's filter; empty before Windows 7, where nothing is filtered.
ChangeMessageFilter SystemMessageFilter();

}  // namespace zanto::platform::win32
