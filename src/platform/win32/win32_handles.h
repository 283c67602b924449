// Owners for the Win32 handles the desktop keeps: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace zanto::platform::win32 {

struct IconDeleter {
  void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
using IconPtr = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct MenuDeleter {
  void operator()(HMENU menu) const noexcept { DestroyMenu(menu); }
};
using MenuPtr = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

struct FontDeleter {
  void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
using FontPtr = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct LibraryDeleter {
  void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using LibraryPtr = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

// Registry keys (advapi32: only its users link it).
struct RegistryKeyDeleter {
  void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyDeleter>;

// Kernel handles; CreateFile's "no handle" is INVALID_HANDLE_VALUE, which never gets here.
struct KernelHandleDeleter {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using KernelHandle = std::unique_ptr<void, KernelHandleDeleter>;

inline KernelHandle OwnFileHandle(HANDLE handle) {
  return KernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// A window's device context, released to the window it came from.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects a GDI object into a DC for the life of the scope.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Looks a function up by name in a loaded module. Casting through void (*)() is the one
// conversion between function pointer types that compilers accept without a warning.
template <class Fn>
Fn ProcAddress(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace zanto::platform::win32
