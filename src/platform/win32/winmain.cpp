// zanto.exe: the program over the Windows desktop.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "app/zanto.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_handles.h"

// The runtime's default end for an unhandled exception prints the demangled type name to a
// console this program does not have, and drags the whole demangler (~45 KB) into the exe.
// Every failure is caught before it could get there; should one slip through, ending at once
// is all that is left to do.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything else loads: DLLs come from System32 only, never from the program's
  // directory or the current one. Systems without the call (Windows 7 before KB2533623)
  // keep their default search.
  using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (auto setDirectories = zanto::platform::win32::ProcAddress<SetDirectoriesFn>(
          GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"))
    setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  try {
    zanto::platform::win32::Win32Desktop desktop(instance);
    return zanto::RunZanto(desktop);
  } catch (const std::exception& failure) {
    MessageBoxA(nullptr, failure.what(), "Zanto", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  } catch (...) {
    MessageBoxA(nullptr, "Unknown failure", "Zanto", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  }
  return 1;
}
