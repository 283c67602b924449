// One Zanto per user session on Windows: a mutex in the session's namespace says that one
// runs, and a start that finds it taken hands over to the running one's tray icon window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/win32/win32_handles.h"

namespace zanto::platform::win32 {

// "Local\" is the session's own namespace: each signed-in user (fast user switching, Remote
// Desktop) keeps a Zanto of their own.
inline constexpr const wchar_t* kSessionMutex = L"Local\\org.example.zanto.Zanto";

// Claims the session for this process: true when no Zanto held it, and `claim` then holds it
// until this process ends. A mutex made by an elevated Zanto cannot be opened from an
// ordinary process, but that it exists is answer enough.
bool ClaimSession(KernelHandle& claim, const wchar_t* name = kSessionMutex);

// After a failed claim: lets the running Zanto take the foreground (this process has the
// user's right to it, having just been started by the user) and posts `what` to its tray
// icon's window, waiting up to `patienceMs` for that window while the other is still
// starting. False when the claim came free meanwhile (the other ended): this process is the
// session's Zanto after all.
bool HandOverToRunningZanto(KernelHandle& claim, std::uintptr_t what, DWORD patienceMs,
                            const wchar_t* name = kSessionMutex);

}  // namespace zanto::platform::win32
