// The program's main window on Windows: a top-level window owned by the taskbar window, with
// real controls made from the window definition and laid out at the monitor's resolution.
// Its keyboard (Tab, Ctrl+Tab, access keys, the default button) is in win32_form_keyboard.cpp.
#pragma once

#include <windows.h>
// Needs the types of <windows.h>.
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_theme.h"
#include "platform/win32/win32_window.h"

namespace zanto::platform::win32 {

class Win32Desktop;

// The outer size of a window whose client area is `client` pixels, with the frame the
// system draws for `style` at `dpi` (the frame of Windows 10 and 11 is wider than the
// classic one, and the client area is what the layout is made for).
SIZE OuterSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);

// A list row as the list view shows it: 8-bit text read in the system's code page, Unicode
// text as it is.
std::wstring RowText(Text row);

class Win32Form final : public WindowObject, public NativeForm {
 public:
  Win32Form(Win32Desktop& desktop, const FormDef& def, HWND owner, FormEvents& events);
  ~Win32Form() override;

  WindowId id() const override { return reinterpret_cast<WindowId>(Hwnd()); }
  void setVisible(bool visible) override;
  bool visible() const override;
  void setWindowState(WindowState state) override;
  void setBounds(int control, const Rect& bounds) override;
  void setActivePage(int control, int page) override;
  void setRowCount(int control, std::size_t rows) override;
  int focusedControl() const override;
  void bringToFront() override;

  // The window's own keys, before the message is dispatched: true when they were used.
  bool TranslateKey(MSG& msg);
  // Tab, Shift+Tab, Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp.
  bool NavigationKey(WPARAM key, bool ctrl, bool shift);
  // Alt and a letter: the button whose caption marks that letter is pressed.
  bool AccessKey(wchar_t key);
  HWND ControlWindow(int index) const;

 private:
  LRESULT OnMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept override;
  LRESULT OnFormMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnPageMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  bool OnCommand(WPARAM wParam, LPARAM lParam);
  bool OnNotify(const NMHDR& header);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  bool OnDpiScaledSize(UINT dpi, SIZE& size) const;

  void CreateControl(std::size_t index);
  void ApplyFonts();
  void ApplyColumnWidths();
  void Place(std::size_t index);
  void PlaceLabel(std::size_t index, int& left, int& right, int& bottom, int top);
  void ShowPage(int pageControl, int page);
  void SelectPage(int pageControl, int page);
  void ReportClientSize();

  // Keyboard (win32_form_keyboard.cpp).
  std::vector<int> TabStops() const;
  int ActivePageOf(int pageControl) const;
  void MoveFocus(bool backward);
  void SwitchPage(bool backward);
  void FocusControl(int index);
  void RestoreFocus();
  void ShowFocusCues();
  void UpdateDefaultButton();

  bool ValidControl(int index) const;
  int IndexOfWindow(HWND window) const;
  HFONT FontOf(std::size_t index) const;
  int Scale(int value) const { return MulDiv(value, static_cast<int>(dpi_), 96); }
  int Unscale(int value) const { return MulDiv(value, 96, static_cast<int>(dpi_)); }

  Win32Desktop& desktop_;
  FormDef def_;
  FormEvents& events_;
  UINT dpi_ = 96;
  WindowState state_ = WindowState::Normal;
  bool created_ = false;
  HWND lastFocus_ = nullptr;
  TabPageTheme theme_;
  // Per control of the definition: its window (a child of the form, destroyed with it; none
  // for a bevel without a line), its bounds at 96 dpi, its own font, and for a page control
  // the controls that are its pages.
  std::vector<HWND> controls_;
  std::vector<Rect> bounds_;
  std::vector<FontPtr> controlFonts_;
  std::vector<std::vector<int>> pages_;
  FontPtr formFont_;
};

}  // namespace zanto::platform::win32
