#include "platform/win32/win32_window.h"

#include <stdexcept>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace zanto::platform::win32 {

WindowObject::~WindowObject() = default;

void WindowObject::Destroyer::operator()(HWND window) const noexcept {
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

void WindowObject::Create(DWORD exStyle, const std::string& className, const std::string& caption,
                          DWORD style, int x, int y, int width, int height, HWND parent) {
  HWND window = CreateWindowExW(exStyle, Wide(className).c_str(), Wide(caption).c_str(), style, x,
                                y, width, height, parent, nullptr, GetModuleHandleW(nullptr), this);
  if (!window) throw std::runtime_error(SystemMessage(GetLastError()));
  window_.reset(window);
}

LRESULT WindowObject::Attach(HWND window) noexcept {
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return TRUE;
}

LRESULT CALLBACK WindowObject::Procedure(HWND window, UINT msg, WPARAM wParam,
                                         LPARAM lParam) noexcept {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (auto* self = static_cast<WindowObject*>(create->lpCreateParams)) self->Attach(window);
  }
  auto* self = reinterpret_cast<WindowObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return self->OnMessage(window, msg, wParam, lParam);
}

std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (length && text) message = Utf8(std::wstring_view(text, length));
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  if (message.empty()) message = "System error " + std::to_string(error);
  return message;
}

}  // namespace zanto::platform::win32

namespace zanto::platform::win32 {

UINT SystemDpi() {
  using Fn = UINT(WINAPI*)();
  if (auto dpiForSystem = ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem"))
    return dpiForSystem();
  WindowDC screen(nullptr);
  const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace zanto::platform::win32
