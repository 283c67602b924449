// The visual styles the tab pages paint with. Under a theme the tab control's pane is not
// the dialog grey, and a page that painted itself grey would show as a block on it: a page
// paints the pane's body instead, and the labels on it let that show through.
//
// The calls come from uxtheme.dll, looked up at run time (systems and Wine prefixes without
// styles have no theme to draw); a test hands in calls of its own to see what is drawn.
#pragma once

#include <windows.h>

#include <functional>

namespace zanto::platform::win32 {

using ThemeHandle = void*;  // HTHEME, without <uxtheme.h>'s other demands

struct ThemeApi {
  std::function<BOOL()> isAppThemed;
  std::function<ThemeHandle(HWND, LPCWSTR)> openThemeData;
  std::function<HRESULT(ThemeHandle)> closeThemeData;
  std::function<HRESULT(ThemeHandle, HDC, int, int, const RECT*, const RECT*)> drawThemeBackground;
  std::function<HRESULT(HWND, HDC, const RECT*)> drawThemeParentBackground;

  // The calls of a loaded uxtheme.dll; none from no library.
  static ThemeApi From(HMODULE uxtheme);
  bool Complete() const {
    return isAppThemed && openThemeData && closeThemeData && drawThemeBackground &&
           drawThemeParentBackground;
  }
};

// The tab control's theme as long as one is in force, for painting its pages.
class TabPageTheme {
 public:
  explicit TabPageTheme(const ThemeApi& api) : api_(api) {}
  ~TabPageTheme() { Close(); }
  TabPageTheme(const TabPageTheme&) = delete;
  TabPageTheme& operator=(const TabPageTheme&) = delete;

  // Opens the theme of `tabControl` (again, after the user switched styles); none when the
  // program runs without styles.
  void Open(HWND tabControl);
  void Close();
  bool Active() const { return theme_ != nullptr; }

  // A page's background: the pane's body. False without a theme (the class brush paints).
  bool PaintPage(HWND page, HDC dc) const;
  // A label on a page: its background is the page's, its text the system's text colour;
  // the answer to WM_CTLCOLORSTATIC.
  HBRUSH LabelBackground(HWND label, HDC dc) const;

 private:
  ThemeApi api_;
  ThemeHandle theme_ = nullptr;
};

// The tab control's part that its pages' content sits on (TABP_BODY of <vssym32.h>).
inline constexpr int kTabBodyPart = 10;

}  // namespace zanto::platform::win32
