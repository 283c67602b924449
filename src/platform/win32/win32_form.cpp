#include "platform/win32/win32_form.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/win32/win32_desktop.h"

namespace zanto::platform::win32 {

namespace {

constexpr const char* kSheetClass = "TTabSheet";
// Control ids start above IDOK and IDCANCEL, which the dialog keys send.
constexpr int kFirstControlId = 100;
// Posted once the form exists, so that the first size report reaches a program that has
// finished creating the window.
constexpr UINT kReportClientSize = WM_APP + 1;

UINT systemDpi() {
  using Fn = UINT(WINAPI*)();
  if (auto dpiForSystem = procAddress<Fn>(GetModuleHandleA("user32.dll"), "GetDpiForSystem"))
    return dpiForSystem();
  WindowDC screen(nullptr);
  const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT windowDpi(HWND window) {
  using Fn = UINT(WINAPI*)(HWND);
  if (auto dpiForWindow = procAddress<Fn>(GetModuleHandleA("user32.dll"), "GetDpiForWindow"))
    if (const UINT dpi = dpiForWindow(window)) return dpi;
  return systemDpi();
}

enum class FaceKind { Missing, Raster, Scalable };

FaceKind faceKind(const std::string& face) {
  WindowDC screen(nullptr);
  if (!screen.get() || face.size() >= LF_FACESIZE) return FaceKind::Missing;
  LOGFONTA wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  std::memcpy(wanted.lfFaceName, face.c_str(), face.size() + 1);
  FaceKind kind = FaceKind::Missing;
  EnumFontFamiliesExA(
      screen.get(), &wanted,
      [](const LOGFONTA*, const TEXTMETRICA*, DWORD type, LPARAM param) -> int {
        auto* k = reinterpret_cast<FaceKind*>(param);
        if (!(type & RASTER_FONTTYPE)) {
          *k = FaceKind::Scalable;
          return 0;
        }
        *k = FaceKind::Raster;
        return 1;
      },
      reinterpret_cast<LPARAM>(&kind), 0);
  return kind;
}

// The face to draw a font of the definition with. A bitmap face is only right at the
// resolution it was drawn for; elsewhere a scalable face of the same look keeps the text sharp.
std::string resolveFace(const std::string& wanted, UINT dpi) {
  for (const std::string& face :
       {wanted, std::string("Microsoft Sans Serif"), std::string("Tahoma")}) {
    const FaceKind kind = faceKind(face);
    if (kind == FaceKind::Scalable || (kind == FaceKind::Raster && dpi == 96)) return face;
  }
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return metrics.lfMessageFont.lfFaceName;
  return wanted;
}

FontPtr makeFont(const FontDef& font, UINT dpi) {
  LOGFONTA lf{};
  lf.lfHeight = MulDiv(font.height, static_cast<int>(dpi), 96);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = font.italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  const std::string face = resolveFace(font.name, dpi);
  std::memcpy(lf.lfFaceName, face.c_str(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
  return FontPtr(CreateFontIndirectA(&lf));
}

int showCommandFor(WindowState state) {
  switch (state) {
    case WindowState::Maximized:
      return SW_SHOWMAXIMIZED;
    case WindowState::Minimized:
      return SW_SHOWMINNOACTIVE;
    case WindowState::Normal:
      break;
  }
  return SW_SHOWNORMAL;
}

}  // namespace

Win32Form::Win32Form(Win32Desktop& desktop, const FormDef& def, HWND owner, FormEvents& events)
    : desktop_(desktop), def_(def), events_(events), dpi_(systemDpi()) {
  const auto background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  desktop_.registerClass(def_.className, background, desktop_.icon(IconId::Program, false),
                         desktop_.icon(IconId::Program, true));
  desktop_.registerClass(kSheetClass, background, nullptr, nullptr);

  const int width = scale(def_.width);
  const int height = scale(def_.height);
  const int x = def_.centered ? (GetSystemMetrics(SM_CXSCREEN) - width) / 2 : CW_USEDEFAULT;
  const int y = def_.centered ? (GetSystemMetrics(SM_CYSCREEN) - height) / 2 : CW_USEDEFAULT;
  create(WS_EX_CONTROLPARENT, def_.className, def_.caption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
         x, y, width, height, owner);
  // The window may have come up on a monitor of another resolution than the system's.
  if (const UINT dpi = windowDpi(hwnd()); dpi != dpi_) {
    dpi_ = dpi;
    SetWindowPos(hwnd(), nullptr, 0, 0, scale(def_.width), scale(def_.height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  const std::size_t count = def_.controls.size();
  controls_.assign(count, nullptr);
  controlFonts_.resize(count);
  pages_.resize(count);
  bounds_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const ControlDef& c = def_.controls[i];
    bounds_[i] = c.bounds;
    // A control that fills its parent is placed by the same rule the program lays out with.
    if (c.alignClient && c.parent >= 0) {
      const ControlDef& parent = def_.controls[static_cast<std::size_t>(c.parent)];
      const int border = parent.borderWidth;
      bounds_[i] = {border, border, std::max(0, parent.bounds.width - 2 * border),
                    std::max(0, parent.bounds.height - 2 * border)};
    }
  }
  for (std::size_t i = 0; i < count; ++i) createControl(i);
  applyFonts();
  applyColumnWidths();
  for (std::size_t i = 0; i < count; ++i) place(i);
  orderTabStops();
  for (std::size_t i = 0; i < count; ++i)
    if (def_.controls[i].kind == ControlKind::PageControl)
      setActivePage(static_cast<int>(i), def_.controls[i].activePage);

  desktop_.addDialogWindow(hwnd());
  PostMessageA(hwnd(), kReportClientSize, 0, 0);
  created_ = true;
}

Win32Form::~Win32Form() {
  // The program is taking the window down: nothing of the teardown is reported to it.
  created_ = false;
  desktop_.removeDialogWindow(hwnd());
  // The controls go with the window, before the fonts they draw with.
  destroy();
}

void Win32Form::createControl(std::size_t index) {
  const ControlDef& c = def_.controls[index];
  HWND parent = hwnd();
  if (c.parent >= 0 && static_cast<std::size_t>(c.parent) < index)
    parent = controls_[static_cast<std::size_t>(c.parent)];
  if (!parent) return;

  const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index));
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const DWORD tabStop = c.tabOrder >= 0 ? WS_TABSTOP : 0;
  DWORD exStyle = 0;
  DWORD style = child;
  const char* className = nullptr;
  LPVOID param = nullptr;
  switch (c.kind) {
    case ControlKind::Button:
      className = "BUTTON";
      style |= tabStop | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case ControlKind::PageControl:
      className = WC_TABCONTROLA;
      style |= tabStop | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
      exStyle = WS_EX_CONTROLPARENT;
      break;
    case ControlKind::TabSheet:
      // Shown only while it is the active page.
      className = kSheetClass;
      style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
      exStyle = WS_EX_CONTROLPARENT;
      param = static_cast<WindowObject*>(this);
      break;
    case ControlKind::ListView:
      className = WC_LISTVIEWA;
      style |= tabStop | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL;
      if (!c.hideSelection) style |= LVS_SHOWSELALWAYS;
      if (!c.columnClick) style |= LVS_NOSORTHEADER;
      if (!c.readOnly) style |= LVS_EDITLABELS;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Label:
      className = "STATIC";
      style |= c.align == TextAlign::Right ? SS_RIGHT : (c.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
      break;
    case ControlKind::Bevel:
      if (c.shape == BevelShape::None) return;
      className = "STATIC";
      style |= SS_ETCHEDHORZ;
      break;
  }
  const std::string& caption =
      c.kind == ControlKind::TabSheet || c.kind == ControlKind::Bevel ? std::string() : c.caption;
  HWND window = CreateWindowExA(exStyle, className, caption.c_str(), style, 0, 0, 0, 0, parent, id,
                                desktop_.instance(), param);
  controls_[index] = window;
  if (!window) return;

  if (c.kind == ControlKind::TabSheet && c.parent >= 0) {
    const auto owner = static_cast<std::size_t>(c.parent);
    if (def_.controls[owner].kind == ControlKind::PageControl) {
      std::vector<int>& pages = pages_[owner];
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      std::string text = c.caption;
      item.pszText = text.data();
      SendMessageA(parent, TCM_INSERTITEMA, pages.size(), reinterpret_cast<LPARAM>(&item));
      pages.push_back(static_cast<int>(index));
    }
  }
  if (c.kind == ControlKind::ListView) {
    for (std::size_t k = 0; k < c.columns.size(); ++k) {
      LVCOLUMNA column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      std::string text = c.columns[k].caption;
      column.pszText = text.data();
      column.cx = scale(c.columns[k].width);
      SendMessageA(window, LVM_INSERTCOLUMNA, k, reinterpret_cast<LPARAM>(&column));
    }
  }
}

// Tab moves through the controls in the order of the definition's tab order, which for
// sibling windows is their order in the z-order.
void Win32Form::orderTabStops() {
  for (int parent = -1; parent < static_cast<int>(def_.controls.size()); ++parent) {
    std::vector<std::size_t> children;
    for (std::size_t i = 0; i < def_.controls.size(); ++i)
      if (def_.controls[i].parent == parent && controls_[i]) children.push_back(i);
    std::stable_sort(children.begin(), children.end(), [&](std::size_t a, std::size_t b) {
      const int ta = def_.controls[a].tabOrder, tb = def_.controls[b].tabOrder;
      if ((ta < 0) != (tb < 0)) return tb < 0;
      return ta < tb;
    });
    HWND previous = HWND_TOP;
    for (std::size_t i : children) {
      SetWindowPos(controls_[i], previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      previous = controls_[i];
    }
  }
}

void Win32Form::applyFonts() {
  formFont_ = makeFont(def_.font, dpi_);
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    const ControlDef& c = def_.controls[i];
    controlFonts_[i] = c.parentFont ? nullptr : makeFont(c.font, dpi_);
    if (controls_[i])
      SendMessageA(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(fontOf(i)), TRUE);
  }
}

void Win32Form::applyColumnWidths() {
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    const ControlDef& c = def_.controls[i];
    if (c.kind != ControlKind::ListView || !controls_[i]) continue;
    for (std::size_t k = 0; k < c.columns.size(); ++k)
      SendMessageA(controls_[i], LVM_SETCOLUMNWIDTH, k, MAKELPARAM(scale(c.columns[k].width), 0));
  }
}

HFONT Win32Form::fontOf(std::size_t index) const {
  return controlFonts_[index] ? controlFonts_[index].get() : formFont_.get();
}

void Win32Form::place(std::size_t index) {
  HWND window = controls_[index];
  if (!window) return;
  const ControlDef& c = def_.controls[index];
  const Rect& r = bounds_[index];
  // Edges are scaled, not sizes, so that neighbours stay flush at every resolution.
  int left = scale(r.left), top = scale(r.top), right = scale(r.right()),
      bottom = scale(r.bottom());
  if (c.kind == ControlKind::Bevel) {
    // An etched line is two pixels: shadow and light.
    if (c.shape == BevelShape::TopLine)
      bottom = top + 2;
    else
      top = bottom - 2;
  } else if (c.kind == ControlKind::Label) {
    // A label is never cut off, whatever face the system drew it with: a one-line label
    // grows sideways (away from its alignment), a wrapped one downwards.
    WindowDC dc(window);
    if (dc.get()) {
      SelectedObject font(dc.get(), fontOf(index));
      RECT text{0, 0, c.wordWrap ? right - left : 0, 0};
      DrawTextA(dc.get(), c.caption.c_str(), -1, &text,
                DT_CALCRECT | (c.wordWrap ? DT_WORDBREAK : DT_SINGLELINE));
      if (!c.wordWrap) {
        // The measure leaves out the overhang of a slanted last letter.
        text.right += scale(3);
        if (text.right > right - left) {
          if (c.align == TextAlign::Right)
            left = right - text.right;
          else
            right = left + text.right;
        }
      }
      bottom = std::max<int>(bottom, top + text.bottom);
    }
  }
  MoveWindow(window, left, top, right - left, bottom - top, TRUE);
}

void Win32Form::showPage(int pageControl, int page) {
  const std::vector<int>& pages = pages_[static_cast<std::size_t>(pageControl)];
  HWND focus = GetFocus();
  for (std::size_t k = 0; k < pages.size(); ++k) {
    HWND sheet = controls_[static_cast<std::size_t>(pages[k])];
    if (!sheet) continue;
    const bool active = static_cast<int>(k) == page;
    // The keyboard focus must not stay behind on a page that disappears.
    if (!active && focus && (focus == sheet || IsChild(sheet, focus)))
      SetFocus(controls_[static_cast<std::size_t>(pageControl)]);
    ShowWindow(sheet, active ? SW_SHOW : SW_HIDE);
  }
}

bool Win32Form::validControl(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < controls_.size() &&
         controls_[static_cast<std::size_t>(index)];
}

int Win32Form::indexOf(HWND window) const {
  if (!window) return -1;
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i] == window) return static_cast<int>(i);
  return -1;
}

// --- NativeForm ---------------------------------------------------------------------------

void Win32Form::setVisible(bool visible) {
  if (!visible) {
    ShowWindow(hwnd(), SW_HIDE);
    return;
  }
  // An already visible window is neither raised nor activated.
  if (IsWindowVisible(hwnd())) return;
  ShowWindow(hwnd(), showCommandFor(state_));
}

bool Win32Form::visible() const {
  return IsWindowVisible(hwnd()) != FALSE;
}

void Win32Form::setWindowState(WindowState state) {
  state_ = state;
  if (!IsWindowVisible(hwnd())) return;  // applied when the window is next shown
  switch (state) {
    case WindowState::Normal:
      if (IsIconic(hwnd()) || IsZoomed(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
      break;
    case WindowState::Maximized:
      if (!IsZoomed(hwnd())) ShowWindow(hwnd(), SW_SHOWMAXIMIZED);
      break;
    case WindowState::Minimized:
      if (!IsIconic(hwnd())) ShowWindow(hwnd(), SW_SHOWMINNOACTIVE);
      break;
  }
}

void Win32Form::setBounds(int control, const Rect& bounds) {
  if (control < 0 || static_cast<std::size_t>(control) >= bounds_.size()) return;
  bounds_[static_cast<std::size_t>(control)] = bounds;
  place(static_cast<std::size_t>(control));
}

void Win32Form::setActivePage(int control, int page) {
  if (!validControl(control)) return;
  const std::vector<int>& pages = pages_[static_cast<std::size_t>(control)];
  if (page < 0 || static_cast<std::size_t>(page) >= pages.size()) return;
  SendMessageA(controls_[static_cast<std::size_t>(control)], TCM_SETCURSEL, page, 0);
  showPage(control, page);
}

void Win32Form::setRowCount(int control, std::size_t rows) {
  if (!validControl(control)) return;
  const auto count = static_cast<WPARAM>(std::min<std::size_t>(rows, INT_MAX));
  SendMessageA(controls_[static_cast<std::size_t>(control)], LVM_SETITEMCOUNT, count, 0);
}

int Win32Form::focusedControl() const {
  for (HWND window = GetFocus(); window && window != hwnd(); window = GetParent(window))
    if (const int index = indexOf(window); index >= 0) return index;
  return -1;
}

// --- Messages -----------------------------------------------------------------------------

LRESULT Win32Form::onMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    // Pages are child windows that pass their controls' notifications on to the form.
    if (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) {
      if (msg == WM_COMMAND && created_ && onCommand(wParam, lParam)) return 0;
      if (msg == WM_NOTIFY && created_ && onNotify(*reinterpret_cast<const NMHDR*>(lParam)))
        return 0;
      return DefWindowProcA(window, msg, wParam, lParam);
    }
    if (!created_) return DefWindowProcA(window, msg, wParam, lParam);
    return onFormMessage(window, msg, wParam, lParam);
  } catch (...) {
    // Nothing of the form's own throws; a failure of the library must still not unwind
    // through the system's code.
    return DefWindowProcA(window, msg, wParam, lParam);
  }
}

LRESULT Win32Form::onFormMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      // The program decides whether the window closes.
      events_.formClose();
      return 0;
    case WM_SYSCOMMAND:
      if (events_.formSysCommand(static_cast<std::uint32_t>(wParam))) return 0;
      break;
    case WM_QUERYENDSESSION:
      return events_.formQueryEndSession() ? TRUE : FALSE;
    case WM_ENDSESSION:
      events_.formEndSession(wParam != FALSE);
      return 0;
    case WM_COMMAND:
      if (onCommand(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY:
      if (onNotify(*reinterpret_cast<const NMHDR*>(lParam))) return 0;
      break;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) reportClientSize();
      return 0;
    case kReportClientSize:
      reportClientSize();
      return 0;
    case WM_ACTIVATE:
      // Like a dialog box, the window gives the focus back to the control that had it.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) lastFocus_ = focus;
      } else if (!HIWORD(wParam)) {
        restoreFocus();
      }
      return 0;
    case WM_SETFOCUS:
      restoreFocus();
      return 0;
    case WM_DPICHANGED:
      onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

bool Win32Form::onCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const auto from = reinterpret_cast<HWND>(lParam);
  int index = indexOf(from);
  if (index < 0 && !from && id >= kFirstControlId) index = id - kFirstControlId;
  if (validControl(index)) {
    if (def_.controls[static_cast<std::size_t>(index)].kind == ControlKind::Button &&
        HIWORD(wParam) == BN_CLICKED) {
      events_.controlClicked(index);
      return true;
    }
    return false;
  }
  // Enter and Escape that no control took for itself.
  if (!from && id == IDOK) {
    events_.dialogKey(DialogKey::Enter);
    return true;
  }
  if (!from && id == IDCANCEL) {
    events_.dialogKey(DialogKey::Escape);
    return true;
  }
  return false;
}

bool Win32Form::onNotify(const NMHDR& header) {
  const int index = indexOf(header.hwndFrom);
  if (index < 0) return false;
  const ControlDef& c = def_.controls[static_cast<std::size_t>(index)];
  if (c.kind == ControlKind::PageControl && header.code == TCN_SELCHANGE) {
    const int page = static_cast<int>(SendMessageA(header.hwndFrom, TCM_GETCURSEL, 0, 0));
    showPage(index, page);
    events_.pageSelected(index, page);
    return true;
  }
  if (c.kind == ControlKind::ListView && header.code == LVN_GETDISPINFOA) {
    auto& item = reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(&header))->item;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 && item.iItem >= 0) {
      const std::string_view text = events_.listRow(index, static_cast<std::size_t>(item.iItem));
      const std::size_t n = std::min<std::size_t>(text.size(), item.cchTextMax - 1);
      std::memcpy(item.pszText, text.data(), n);
      item.pszText[n] = '\0';
    }
    return true;
  }
  if (c.kind == ControlKind::ListView && header.code == LVN_GETDISPINFOW) {
    auto& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header))->item;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 && item.iItem >= 0) {
      const std::string_view text = events_.listRow(index, static_cast<std::size_t>(item.iItem));
      const int n = MultiByteToWideChar(
          CP_ACP, 0, text.data(), static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX)),
          item.pszText, item.cchTextMax - 1);
      item.pszText[std::max(n, 0)] = L'\0';
    }
    return true;
  }
  return false;
}

void Win32Form::onDpiChanged(UINT dpi, const RECT& suggested) {
  if (dpi == 0 || dpi == dpi_) return;
  dpi_ = dpi;
  applyFonts();
  applyColumnWidths();
  for (std::size_t i = 0; i < controls_.size(); ++i) place(i);
  SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::reportClientSize() {
  RECT client{};
  if (!GetClientRect(hwnd(), &client)) return;
  events_.formResized(unscale(client.right - client.left), unscale(client.bottom - client.top));
}

void Win32Form::restoreFocus() {
  HWND target = lastFocus_;
  if (!target || !IsWindow(target) || !IsChild(hwnd(), target) || !IsWindowVisible(target) ||
      !IsWindowEnabled(target))
    target = GetNextDlgTabItem(hwnd(), nullptr, FALSE);
  if (target) SetFocus(target);
}

}  // namespace zanto::platform::win32
