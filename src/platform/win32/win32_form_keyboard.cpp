// The form's keyboard. Tab goes through the controls in the order the window defines
// (the buttons, the page control, then the controls of the page it shows), Ctrl+Tab and
// Ctrl+PgDn turn the pages from anywhere in the window, Alt and a button's marked letter
// press it, and the focus shows once the keyboard is used. The dialog manager is not asked
// for Tab: it walks the z-order, and into a page control rather than onto it.
#include "platform/form_navigation.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_form.h"

namespace zanto::platform::win32 {

bool Win32Form::TranslateKey(MSG& msg) {
  if (!created_ || !IsWindowVisible(Hwnd()) || !IsWindowEnabled(Hwnd())) return false;
  if (msg.hwnd != Hwnd() && !IsChild(Hwnd(), msg.hwnd)) return false;
  switch (msg.message) {
    case WM_KEYDOWN:
      if (NavigationKey(msg.wParam, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0))
        return true;
      break;
    case WM_SYSCHAR:
      if (AccessKey(static_cast<wchar_t>(msg.wParam))) return true;
      break;
    default:
      break;
  }
  // Enter, Escape and the arrow keys work as in a dialog box.
  return IsDialogMessageW(Hwnd(), &msg) != FALSE;
}

bool Win32Form::NavigationKey(WPARAM key, bool ctrl, bool shift) {
  if (key == VK_TAB) {
    if (ctrl)
      SwitchPage(shift);
    else
      MoveFocus(shift);
  } else if (ctrl && (key == VK_NEXT || key == VK_PRIOR)) {
    SwitchPage(key == VK_PRIOR);
  } else {
    return false;
  }
  ShowFocusCues();
  return true;
}

bool Win32Form::AccessKey(wchar_t key) {
  const int button = ButtonForAccessKey(def_, key);
  if (!ValidControl(button)) return false;
  HWND window = controls_[static_cast<std::size_t>(button)];
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return false;
  ShowFocusCues();
  events_.controlClicked(button);
  return true;
}

HWND Win32Form::ControlWindow(int index) const {
  return ValidControl(index) ? controls_[static_cast<std::size_t>(index)] : nullptr;
}

int Win32Form::ActivePageOf(int pageControl) const {
  if (!ValidControl(pageControl)) return -1;
  return static_cast<int>(
      SendMessageW(controls_[static_cast<std::size_t>(pageControl)], TCM_GETCURSEL, 0, 0));
}

std::vector<int> Win32Form::TabStops() const {
  std::vector<int> cycle = TabCycle(def_, [this](int control) { return ActivePageOf(control); });
  // A control the system could not make, or one that is switched off, is passed over.
  std::erase_if(cycle, [this](int i) {
    HWND window = ControlWindow(i);
    return !window || !IsWindowEnabled(window);
  });
  return cycle;
}

void Win32Form::FocusControl(int index) {
  if (HWND window = ControlWindow(index)) SetFocus(window);
  UpdateDefaultButton();
}

void Win32Form::MoveFocus(bool backward) {
  FocusControl(NextTabStop(TabStops(), focusedControl(), backward));
}

void Win32Form::SwitchPage(bool backward) {
  // The page control the focus is in, else the window's first one.
  int pageControl = -1;
  for (int i = focusedControl(); i >= 0; i = def_.controls[static_cast<std::size_t>(i)].parent)
    if (def_.controls[static_cast<std::size_t>(i)].kind == ControlKind::PageControl) {
      pageControl = i;
      break;
    }
  for (std::size_t i = 0; pageControl < 0 && i < def_.controls.size(); ++i)
    if (def_.controls[i].kind == ControlKind::PageControl) pageControl = static_cast<int>(i);
  if (!ValidControl(pageControl)) return;
  const int count = static_cast<int>(pages_[static_cast<std::size_t>(pageControl)].size());
  const int page = NeighbourPage(ActivePageOf(pageControl), count, backward);
  if (page < 0) return;
  const int focused = focusedControl();
  const bool focusOnPage = focused >= 0 && focused != pageControl &&
                           IsChild(controls_[static_cast<std::size_t>(pageControl)],
                                   controls_[static_cast<std::size_t>(focused)]);
  SelectPage(pageControl, page);
  // The focus that was on the page left behind goes to the new page's first stop.
  if (focusOnPage) {
    const std::vector<int> cycle = TabStops();
    const auto at = std::find(cycle.begin(), cycle.end(), pageControl);
    FocusControl(at != cycle.end() && at + 1 != cycle.end() &&
                         IsChild(controls_[static_cast<std::size_t>(pageControl)],
                                 controls_[static_cast<std::size_t>(*(at + 1))])
                     ? *(at + 1)
                     : pageControl);
  }
}

// As a click on the tab would: the page shows and the program hears of it.
void Win32Form::SelectPage(int pageControl, int page) {
  SendMessageW(controls_[static_cast<std::size_t>(pageControl)], TCM_SETCURSEL, page, 0);
  ShowPage(pageControl, page);
  events_.pageSelected(pageControl, page);
}

void Win32Form::RestoreFocus() {
  HWND target = lastFocus_;
  if (target && IsWindow(target) && IsChild(Hwnd(), target) && IsWindowVisible(target) &&
      IsWindowEnabled(target)) {
    SetFocus(target);
    UpdateDefaultButton();
    return;
  }
  const std::vector<int> cycle = TabStops();
  if (!cycle.empty()) FocusControl(cycle.front());
}

void Win32Form::ShowFocusCues() {
  SendMessageW(Hwnd(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

// A push button with the focus is the one Enter presses, and is drawn so; with the focus
// anywhere else that is the window's default button.
void Win32Form::UpdateDefaultButton() {
  const int focused = focusedControl();
  const bool buttonFocused =
      focused >= 0 && def_.controls[static_cast<std::size_t>(focused)].kind == ControlKind::Button;
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    const ControlDef& c = def_.controls[i];
    if (c.kind != ControlKind::Button || !controls_[i]) continue;
    const bool isDefault = buttonFocused ? static_cast<int>(i) == focused : c.isDefault;
    const LONG_PTR style = GetWindowLongPtrW(controls_[i], GWL_STYLE);
    const LONG_PTR type = isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((style & BS_TYPEMASK) == type) continue;
    // The other button styles (BS_NOTIFY) stay as they are.
    SendMessageW(controls_[i], BM_SETSTYLE, (style & 0xFFFF & ~BS_TYPEMASK) | type, TRUE);
  }
}

}  // namespace zanto::platform::win32
