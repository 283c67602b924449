// The program's main window on Windows: a top-level window owned by the taskbar window, with
// real controls made from the window definition and laid out at the monitor's resolution.
#pragma once

#include <windows.h>
// Needs the types of <windows.h>.
#include <commctrl.h>

#include <vector>

#include "platform/desktop.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_window.h"

namespace zanto::platform::win32 {

class Win32Desktop;

class Win32Form final : public WindowObject, public NativeForm {
 public:
  Win32Form(Win32Desktop& desktop, const FormDef& def, HWND owner, FormEvents& events);
  ~Win32Form() override;

  WindowId id() const override { return reinterpret_cast<WindowId>(hwnd()); }
  void setVisible(bool visible) override;
  bool visible() const override;
  void setWindowState(WindowState state) override;
  void setBounds(int control, const Rect& bounds) override;
  void setActivePage(int control, int page) override;
  void setRowCount(int control, std::size_t rows) override;
  int focusedControl() const override;

 private:
  LRESULT onMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept override;
  LRESULT onFormMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  bool onCommand(WPARAM wParam, LPARAM lParam);
  bool onNotify(const NMHDR& header);
  void onDpiChanged(UINT dpi, const RECT& suggested);

  void createControl(std::size_t index);
  void orderTabStops();
  void applyFonts();
  void applyColumnWidths();
  void place(std::size_t index);
  void showPage(int pageControl, int page);
  void reportClientSize();
  void restoreFocus();

  bool validControl(int index) const;
  int indexOf(HWND window) const;
  HFONT fontOf(std::size_t index) const;
  int scale(int value) const { return MulDiv(value, static_cast<int>(dpi_), 96); }
  int unscale(int value) const { return MulDiv(value, 96, static_cast<int>(dpi_)); }

  Win32Desktop& desktop_;
  FormDef def_;
  FormEvents& events_;
  UINT dpi_ = 96;
  WindowState state_ = WindowState::Normal;
  bool created_ = false;
  HWND lastFocus_ = nullptr;
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
