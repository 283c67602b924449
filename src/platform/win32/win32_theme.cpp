#include "platform/win32/win32_theme.h"

#include "platform/win32/win32_handles.h"

namespace zanto::platform::win32 {

namespace {

// The call named `name` of the library, as a function; empty where the library lacks it.
template <class R, class... Args>
void Bind(std::function<R(Args...)>& to, HMODULE library, const char* name) {
  using Fn = R(WINAPI*)(Args...);
  if (const auto call = ProcAddress<Fn>(library, name)) to = call;
}

}  // namespace

ThemeApi ThemeApi::From(HMODULE uxtheme) {
  ThemeApi api;
  Bind(api.isAppThemed, uxtheme, "IsAppThemed");
  Bind(api.openThemeData, uxtheme, "OpenThemeData");
  Bind(api.closeThemeData, uxtheme, "CloseThemeData");
  Bind(api.drawThemeBackground, uxtheme, "DrawThemeBackground");
  Bind(api.drawThemeParentBackground, uxtheme, "DrawThemeParentBackground");
  return api;
}

void TabPageTheme::Open(HWND tabControl) {
  Close();
  if (!api_.Complete() || !api_.isAppThemed()) return;
  theme_ = api_.openThemeData(tabControl, L"TAB");
}

void TabPageTheme::Close() {
  if (theme_) api_.closeThemeData(theme_);
  theme_ = nullptr;
}

bool TabPageTheme::PaintPage(HWND page, HDC dc) const {
  if (!theme_) return false;
  RECT area{};
  GetClientRect(page, &area);
  return SUCCEEDED(api_.drawThemeBackground(theme_, dc, kTabBodyPart, 0, &area, nullptr));
}

HBRUSH TabPageTheme::LabelBackground(HWND label, HDC dc) const {
  if (!theme_) return nullptr;
  api_.drawThemeParentBackground(label, dc, nullptr);
  SetBkMode(dc, TRANSPARENT);
  // Answering the message takes the default colours' place too: without this the text is
  // the device context's black, unreadable on a high-contrast theme's dark page.
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

}  // namespace zanto::platform::win32
