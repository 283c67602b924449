// A window whose messages reach a C++ object: the object's address travels in
// CreateWindowEx's creation parameter and is kept in GWLP_USERDATA.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace zanto::platform::win32 {

class WindowObject {
 public:
  WindowObject() = default;
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;
  virtual ~WindowObject();

  HWND Hwnd() const { return window_.get(); }

  // The window procedure of every class the desktop registers.
  static LRESULT CALLBACK Procedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

 protected:
  // Creates the window with this object as its receiver; throws when the system refuses.
  // Call only from the constructor of a final class, so that the first messages find the
  // whole object.
  void Create(DWORD exStyle, const std::string& className, const std::string& caption, DWORD style,
              int x, int y, int width, int height, HWND parent);

  // Every message of the window (and of any other window created with this object as its
  // receiver) arrives here. Never throws.
  virtual LRESULT OnMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept = 0;

  // Destroys the window now (a class whose members the window's children use calls this
  // first in its destructor).
  void Destroy() noexcept { window_.reset(); }

  // Makes `window` send its messages to this object as well (for child windows of a class of
  // our own that this object creates).
  LRESULT Attach(HWND window) noexcept;

 private:
  // Detaches the object before destroying, so that no message of the destruction reaches a
  // half-destroyed receiver.
  struct Destroyer {
    void operator()(HWND window) const noexcept;
  };
  std::unique_ptr<std::remove_pointer_t<HWND>, Destroyer> window_;
};

// Why the system refused, in its own words.
std::string SystemMessage(DWORD error);

// The resolution of the system (of the primary monitor when the user signed in).
UINT SystemDpi();

}  // namespace zanto::platform::win32
