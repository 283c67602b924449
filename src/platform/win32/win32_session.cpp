#include "platform/win32/win32_session.h"

#include "platform/codes.h"
#include "platform/win32/win32_text.h"
#include "platform/window_classes.h"

namespace zanto::platform::win32 {

bool ClaimSession(KernelHandle& claim, const wchar_t* name) {
  SetLastError(ERROR_SUCCESS);
  KernelHandle mutex(CreateMutexW(nullptr, FALSE, name));
  const DWORD error = GetLastError();
  if (!mutex) return error != ERROR_ACCESS_DENIED;  // any other failure: better run than not
  if (error == ERROR_ALREADY_EXISTS) return false;
  claim = std::move(mutex);
  return true;
}

bool HandOverToRunningZanto(KernelHandle& claim, std::uintptr_t what, DWORD patienceMs,
                            const wchar_t* name) {
  const UINT message = RegisterWindowMessageW(Wide(kHandOverMessage).c_str());
  const std::wstring trayClass = Wide(window_class::kTrayIcon);
  const ULONGLONG deadline = GetTickCount64() + patienceMs;
  for (;;) {
    if (HWND tray = FindWindowW(trayClass.c_str(), nullptr)) {
      DWORD running = 0;
      GetWindowThreadProcessId(tray, &running);
      AllowSetForegroundWindow(running);
      if (PostMessageW(tray, message, what, 0)) return true;
    }
    if (ClaimSession(claim, name)) return false;
    // A Zanto that holds the session but never answers still is one: no second beside it.
    if (GetTickCount64() >= deadline) return true;
    Sleep(50);
  }
}

}  // namespace zanto::platform::win32
