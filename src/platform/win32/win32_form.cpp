#include "platform/win32/win32_form.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_text.h"
#include "platform/window_classes.h"

namespace zanto::platform::win32 {

namespace {

// Control ids start above IDOK and IDCANCEL, which the dialog keys send.
constexpr int kFirstControlId = 100;
// Posted once the form exists, so that the first size report reaches a program that has
// finished creating the window.
constexpr UINT kReportClientSize = WM_APP + 1;
// Posted when a button loses the keyboard: which button is the default one depends on where
// the focus went, and that is known only after the change.
constexpr UINT kSyncDefaultButton = WM_APP + 2;

constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

UINT WindowDpi(HWND window) {
  using Fn = UINT(WINAPI*)(HWND);
  if (auto dpiForWindow = ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"))
    if (const UINT dpi = dpiForWindow(window)) return dpi;
  return SystemDpi();
}

enum class FaceKind { Missing, Raster, Scalable };

FaceKind FaceKindOf(const std::wstring& face) {
  WindowDC screen(nullptr);
  if (!screen.get() || face.size() >= LF_FACESIZE) return FaceKind::Missing;
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  std::memcpy(wanted.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
  FaceKind kind = FaceKind::Missing;
  EnumFontFamiliesExW(
      screen.get(), &wanted,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD type, LPARAM param) -> int {
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

// What a font must be able to draw.
enum class Script {
  Program,  // the program's own texts
  Any,      // the quotes file's, in whatever script it is written
};

// The face to draw a font of the definition with. A bitmap face is only right at the
// resolution it was drawn for; elsewhere a scalable face of the same look keeps the text sharp.
// A bitmap face also holds one code page only: text in any script takes a scalable face,
// which the system extends with others where it lacks a character.
std::wstring ResolveFace(const std::wstring& wanted, UINT dpi, Script script) {
  const std::wstring sameLook = L"Microsoft Sans Serif";
  const std::initializer_list<std::wstring> faces =
      script == Script::Any ? std::initializer_list<std::wstring>{sameLook, wanted, L"Tahoma"}
                            : std::initializer_list<std::wstring>{wanted, sameLook, L"Tahoma"};
  for (const std::wstring& face : faces) {
    const FaceKind kind = FaceKindOf(face);
    if (kind == FaceKind::Scalable ||
        (kind == FaceKind::Raster && dpi == 96 && script == Script::Program))
      return face;
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return metrics.lfMessageFont.lfFaceName;
  return wanted;
}

FontPtr MakeFont(const FontDef& font, UINT dpi, Script script = Script::Program) {
  LOGFONTW lf{};
  lf.lfHeight = MulDiv(font.height, static_cast<int>(dpi), 96);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = font.italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  // Where a face comes both as bitmap and as outline, the outline one.
  if (script == Script::Any) lf.lfOutPrecision = OUT_TT_PRECIS;
  const std::wstring face = ResolveFace(Wide(font.name), dpi, script);
  std::memcpy(lf.lfFaceName, face.c_str(),
              std::min<std::size_t>(face.size(), LF_FACESIZE - 1) * sizeof(wchar_t));
  return FontPtr(CreateFontIndirectW(&lf));
}

int ShowCommandFor(WindowState state) {
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

std::wstring RowText(Text row) {
  if (row.encoding == TextEncoding::Utf8) return Wide(row.bytes);
  const int size = static_cast<int>(std::min<std::size_t>(row.bytes.size(), INT_MAX));
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  text.resize(static_cast<std::size_t>(
      std::max(0, MultiByteToWideChar(CP_ACP, 0, row.bytes.data(), size, text.data(), size))));
  return text;
}

SIZE OuterSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
  RECT frame{0, 0, client.cx, client.cy};
  using Fn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  const auto adjustForDpi =
      ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi");
  // The frame of the resolution the window is on; without the call (before Windows 10),
  // the system's, which is then the only one there is.
  if (!(adjustForDpi && adjustForDpi(&frame, style, FALSE, exStyle, dpi)))
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

Win32Form::Win32Form(Win32Desktop& desktop, const FormDef& def, HWND owner, FormEvents& events)
    : desktop_(desktop), def_(def), events_(events), dpi_(SystemDpi()), theme_(desktop.Theme()) {
  const auto background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  desktop_.RegisterWindowClass(def_.className, background, desktop_.Icon(IconId::Program, false),
                               desktop_.Icon(IconId::Program, true));
  desktop_.RegisterWindowClass(window_class::kTabSheet, background, nullptr, nullptr);

  // The layout is made for the client area; the frame around it is the system's.
  SIZE outer = OuterSizeForClient({Scale(def_.clientWidth), Scale(def_.clientHeight)}, kFormStyle,
                                  kFormExStyle, dpi_);
  const int x = def_.centered ? (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2 : CW_USEDEFAULT;
  const int y = def_.centered ? (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2 : CW_USEDEFAULT;
  Create(kFormExStyle, def_.className, def_.caption, kFormStyle, x, y, outer.cx, outer.cy, owner);
  // The window may have come up on a monitor of another resolution than the system's.
  if (const UINT dpi = WindowDpi(Hwnd()); dpi != dpi_) {
    dpi_ = dpi;
    outer = OuterSizeForClient({Scale(def_.clientWidth), Scale(def_.clientHeight)}, kFormStyle,
                               kFormExStyle, dpi_);
    SetWindowPos(Hwnd(), nullptr, 0, 0, outer.cx, outer.cy,
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
  for (std::size_t i = 0; i < count; ++i) CreateControl(i);
  ApplyFonts();
  ApplyColumnWidths();
  for (std::size_t i = 0; i < count; ++i) Place(i);
  for (std::size_t i = 0; i < count; ++i)
    if (def_.controls[i].kind == ControlKind::PageControl) {
      if (!theme_.Active()) theme_.Open(controls_[i]);
      setActivePage(static_cast<int>(i), def_.controls[i].activePage);
    }
  UpdateDefaultButton();

  desktop_.AddForm(*this);
  PostMessageW(Hwnd(), kReportClientSize, 0, 0);
  created_ = true;
}

Win32Form::~Win32Form() {
  // The program is taking the window down: nothing of the teardown is reported to it.
  created_ = false;
  desktop_.RemoveForm(*this);
  // The controls go with the window, before the fonts they draw with.
  Destroy();
}

void Win32Form::CreateControl(std::size_t index) {
  const ControlDef& c = def_.controls[index];
  HWND parent = Hwnd();
  if (c.parent >= 0 && static_cast<std::size_t>(c.parent) < index)
    parent = controls_[static_cast<std::size_t>(c.parent)];
  if (!parent) return;

  const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index));
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const DWORD tabStop = c.tabOrder >= 0 ? WS_TABSTOP : 0;
  DWORD exStyle = 0;
  DWORD style = child;
  const std::wstring sheetClass = Wide(window_class::kTabSheet);
  const wchar_t* className = nullptr;
  LPVOID param = nullptr;
  switch (c.kind) {
    case ControlKind::Button:
      // BS_NOTIFY: the form hears of the focus coming and going, for the default button.
      className = L"BUTTON";
      style |= tabStop | BS_NOTIFY | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case ControlKind::PageControl:
      className = WC_TABCONTROLW;
      style |= tabStop | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
      exStyle = WS_EX_CONTROLPARENT;
      break;
    case ControlKind::TabSheet:
      // Shown only while it is the active page.
      className = sheetClass.c_str();
      style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
      exStyle = WS_EX_CONTROLPARENT;
      param = static_cast<WindowObject*>(this);
      break;
    case ControlKind::ListView:
      className = WC_LISTVIEWW;
      style |= tabStop | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL;
      if (!c.hideSelection) style |= LVS_SHOWSELALWAYS;
      if (!c.columnClick) style |= LVS_NOSORTHEADER;
      if (!c.readOnly) style |= LVS_EDITLABELS;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Label:
      className = L"STATIC";
      style |= c.align == TextAlign::Right ? SS_RIGHT : (c.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
      break;
    case ControlKind::Bevel:
      if (c.shape == BevelShape::None) return;
      className = L"STATIC";
      style |= SS_ETCHEDHORZ;
      break;
  }
  const std::string& caption =
      c.kind == ControlKind::TabSheet || c.kind == ControlKind::Bevel ? std::string() : c.caption;
  HWND window = CreateWindowExW(exStyle, className, Wide(caption).c_str(), style, 0, 0, 0, 0,
                                parent, id, desktop_.Instance(), param);
  controls_[index] = window;
  if (!window) return;

  if (c.kind == ControlKind::TabSheet && c.parent >= 0) {
    const auto owner = static_cast<std::size_t>(c.parent);
    if (def_.controls[owner].kind == ControlKind::PageControl) {
      std::vector<int>& pages = pages_[owner];
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      std::wstring text = Wide(c.caption);
      item.pszText = text.data();
      SendMessageW(parent, TCM_INSERTITEMW, pages.size(), reinterpret_cast<LPARAM>(&item));
      pages.push_back(static_cast<int>(index));
    }
  }
  if (c.kind == ControlKind::ListView) {
    for (std::size_t k = 0; k < c.columns.size(); ++k) {
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      std::wstring text = Wide(c.columns[k].caption);
      column.pszText = text.data();
      column.cx = Scale(c.columns[k].width);
      SendMessageW(window, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&column));
    }
  }
}

void Win32Form::ApplyFonts() {
  formFont_ = MakeFont(def_.font, dpi_);
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    const ControlDef& c = def_.controls[i];
    // A list shows the quotes, in whatever script the file is written.
    if (c.kind == ControlKind::ListView)
      controlFonts_[i] = MakeFont(c.parentFont ? def_.font : c.font, dpi_, Script::Any);
    else
      controlFonts_[i] = c.parentFont ? nullptr : MakeFont(c.font, dpi_);
    if (controls_[i])
      SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(i)), TRUE);
  }
}

void Win32Form::ApplyColumnWidths() {
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    const ControlDef& c = def_.controls[i];
    if (c.kind != ControlKind::ListView || !controls_[i]) continue;
    for (std::size_t k = 0; k < c.columns.size(); ++k)
      SendMessageW(controls_[i], LVM_SETCOLUMNWIDTH, k, MAKELPARAM(Scale(c.columns[k].width), 0));
  }
}

HFONT Win32Form::FontOf(std::size_t index) const {
  return controlFonts_[index] ? controlFonts_[index].get() : formFont_.get();
}

void Win32Form::Place(std::size_t index) {
  HWND window = controls_[index];
  if (!window) return;
  const ControlDef& c = def_.controls[index];
  const Rect& r = bounds_[index];
  // Edges are scaled, not sizes, so that neighbours stay flush at every resolution.
  int left = Scale(r.left), top = Scale(r.top), right = Scale(r.right()),
      bottom = Scale(r.bottom());
  if (c.kind == ControlKind::Bevel) {
    // An etched line is two pixels: shadow and light.
    if (c.shape == BevelShape::TopLine)
      bottom = top + 2;
    else
      top = bottom - 2;
  } else if (c.kind == ControlKind::Label) {
    PlaceLabel(index, left, right, bottom, top);
  }
  MoveWindow(window, left, top, right - left, bottom - top, TRUE);
}

// A label is never cut off, whatever face the system drew it with: a label that sizes itself
// grows sideways, away from its alignment; any other wraps when its one line does not fit
// (another face than the design's may be wider), and a wrapped one grows downwards.
void Win32Form::PlaceLabel(std::size_t index, int& left, int& right, int& bottom, int top) {
  const ControlDef& c = def_.controls[index];
  HWND window = controls_[index];
  WindowDC dc(window);
  if (!dc.get()) return;
  SelectedObject font(dc.get(), FontOf(index));
  const std::wstring caption = Wide(c.caption);
  RECT line{};
  DrawTextW(dc.get(), caption.c_str(), -1, &line, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  // The measure leaves out the overhang of a slanted last letter.
  const int lineWidth = line.right + Scale(3);
  if (c.autoSize && !c.wordWrap) {
    if (lineWidth > right - left) {
      if (c.align == TextAlign::Right)
        left = right - lineWidth;
      else
        right = left + lineWidth;
    }
    bottom = std::max<int>(bottom, top + line.bottom);
    return;
  }
  const bool wrap = c.wordWrap || c.align == TextAlign::Right || lineWidth > right - left;
  if (c.align != TextAlign::Right) {
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR wanted =
        (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
    if (wanted != style) {
      SetWindowLongPtrW(window, GWL_STYLE, wanted);
      InvalidateRect(window, nullptr, TRUE);
    }
  }
  RECT text{0, 0, right - left, 0};
  DrawTextW(dc.get(), caption.c_str(), -1, &text,
            DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
  bottom = std::max<int>(bottom, top + text.bottom);
}

void Win32Form::ShowPage(int pageControl, int page) {
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

bool Win32Form::ValidControl(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < controls_.size() &&
         controls_[static_cast<std::size_t>(index)];
}

int Win32Form::IndexOfWindow(HWND window) const {
  if (!window) return -1;
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i] == window) return static_cast<int>(i);
  return -1;
}

// --- NativeForm ---------------------------------------------------------------------------

void Win32Form::setVisible(bool visible) {
  if (!visible) {
    ShowWindow(Hwnd(), SW_HIDE);
    return;
  }
  // An already visible window is neither raised nor activated.
  if (IsWindowVisible(Hwnd())) return;
  ShowWindow(Hwnd(), ShowCommandFor(state_));
}

void Win32Form::bringToFront() {
  if (!IsWindowVisible(Hwnd())) return;
  if (IsIconic(Hwnd())) ShowWindow(Hwnd(), SW_RESTORE);
  // Allowed because the start that handed over let this process take the foreground. The
  // activation that follows puts the focus back on the control that last had it.
  SetForegroundWindow(Hwnd());
}

bool Win32Form::visible() const {
  return IsWindowVisible(Hwnd()) != FALSE;
}

void Win32Form::setWindowState(WindowState state) {
  state_ = state;
  if (!IsWindowVisible(Hwnd())) return;  // applied when the window is next shown
  switch (state) {
    case WindowState::Normal:
      if (IsIconic(Hwnd()) || IsZoomed(Hwnd())) ShowWindow(Hwnd(), SW_RESTORE);
      break;
    case WindowState::Maximized:
      if (!IsZoomed(Hwnd())) ShowWindow(Hwnd(), SW_SHOWMAXIMIZED);
      break;
    case WindowState::Minimized:
      if (!IsIconic(Hwnd())) ShowWindow(Hwnd(), SW_SHOWMINNOACTIVE);
      break;
  }
}

void Win32Form::setBounds(int control, const Rect& bounds) {
  if (control < 0 || static_cast<std::size_t>(control) >= bounds_.size()) return;
  bounds_[static_cast<std::size_t>(control)] = bounds;
  Place(static_cast<std::size_t>(control));
}

void Win32Form::setActivePage(int control, int page) {
  if (!ValidControl(control)) return;
  const std::vector<int>& pages = pages_[static_cast<std::size_t>(control)];
  if (page < 0 || static_cast<std::size_t>(page) >= pages.size()) return;
  SendMessageW(controls_[static_cast<std::size_t>(control)], TCM_SETCURSEL, page, 0);
  ShowPage(control, page);
}

void Win32Form::setRowCount(int control, std::size_t rows) {
  if (!ValidControl(control)) return;
  const auto count = static_cast<WPARAM>(std::min<std::size_t>(rows, INT_MAX));
  SendMessageW(controls_[static_cast<std::size_t>(control)], LVM_SETITEMCOUNT, count, 0);
}

int Win32Form::focusedControl() const {
  for (HWND window = GetFocus(); window && window != Hwnd(); window = GetParent(window))
    if (const int index = IndexOfWindow(window); index >= 0) return index;
  return -1;
}

// --- Messages -----------------------------------------------------------------------------

LRESULT Win32Form::OnMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)
      return OnPageMessage(window, msg, wParam, lParam);
    if (!created_) return DefWindowProcW(window, msg, wParam, lParam);
    return OnFormMessage(window, msg, wParam, lParam);
  } catch (...) {
    // Nothing of the form's own throws; a failure of the library must still not unwind
    // through the system's code.
    return DefWindowProcW(window, msg, wParam, lParam);
  }
}

// Pages are child windows that pass their controls' notifications on to the form, and under
// a visual style paint the tab pane's body, with their labels on it.
LRESULT Win32Form::OnPageMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (created_ && OnCommand(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY:
      if (created_ && OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) return 0;
      break;
    case WM_ERASEBKGND:
      if (theme_.PaintPage(window, reinterpret_cast<HDC>(wParam))) return 1;
      break;
    case WM_PRINTCLIENT:
      if (theme_.PaintPage(window, reinterpret_cast<HDC>(wParam))) return 0;
      break;
    case WM_CTLCOLORSTATIC:
      if (HBRUSH brush =
              theme_.LabelBackground(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
        return reinterpret_cast<LRESULT>(brush);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT Win32Form::OnFormMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
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
      if (OnCommand(wParam, lParam)) return 0;
      break;
    case WM_NOTIFY:
      if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) return 0;
      break;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) ReportClientSize();
      return 0;
    case kReportClientSize:
      ReportClientSize();
      return 0;
    case WM_ACTIVATE:
      // Like a dialog box, the window gives the focus back to the control that had it.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) lastFocus_ = focus;
      } else if (!HIWORD(wParam)) {
        RestoreFocus();
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case kSyncDefaultButton:
      UpdateDefaultButton();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_GETDPISCALEDSIZE:
      if (OnDpiScaledSize(static_cast<UINT>(wParam), *reinterpret_cast<SIZE*>(lParam))) return TRUE;
      break;
    case WM_THEMECHANGED:
      for (std::size_t i = 0; i < def_.controls.size(); ++i)
        if (def_.controls[i].kind == ControlKind::PageControl && controls_[i]) {
          theme_.Open(controls_[i]);
          break;
        }
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, msg, wParam, lParam);
}

bool Win32Form::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const auto from = reinterpret_cast<HWND>(lParam);
  int index = IndexOfWindow(from);
  if (index < 0 && !from && id >= kFirstControlId) index = id - kFirstControlId;
  if (ValidControl(index)) {
    if (def_.controls[static_cast<std::size_t>(index)].kind != ControlKind::Button) return false;
    switch (HIWORD(wParam)) {
      case BN_CLICKED:
        events_.controlClicked(index);
        return true;
      case BN_SETFOCUS:
        UpdateDefaultButton();
        return true;
      case BN_KILLFOCUS:
        PostMessageW(Hwnd(), kSyncDefaultButton, 0, 0);
        return true;
      default:
        return false;
    }
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

bool Win32Form::OnNotify(const NMHDR& header) {
  const int index = IndexOfWindow(header.hwndFrom);
  if (index < 0) return false;
  const ControlDef& c = def_.controls[static_cast<std::size_t>(index)];
  if (c.kind == ControlKind::PageControl && header.code == TCN_SELCHANGE) {
    const int page = static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0));
    ShowPage(index, page);
    events_.pageSelected(index, page);
    return true;
  }
  if (c.kind == ControlKind::ListView && header.code == NM_SETFOCUS) {
    // A list shows where its focus is on its focused row: with none yet, the first row takes
    // it (without being selected), so that Tab into the list shows where the keyboard is.
    if (SendMessageW(header.hwndFrom, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) ==
            -1 &&
        SendMessageW(header.hwndFrom, LVM_GETITEMCOUNT, 0, 0) > 0) {
      LVITEMW state{};
      state.stateMask = LVIS_FOCUSED;
      state.state = LVIS_FOCUSED;
      SendMessageW(header.hwndFrom, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    }
    return false;
  }
  if (c.kind == ControlKind::ListView && header.code == LVN_GETDISPINFOW) {
    auto& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header))->item;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0 && item.iItem >= 0) {
      const std::wstring text =
          RowText(events_.listRow(index, static_cast<std::size_t>(item.iItem)));
      std::size_t n = std::min<std::size_t>(text.size(), item.cchTextMax - 1);
      if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
      std::copy_n(text.data(), n, item.pszText);
      item.pszText[n] = L'\0';
    }
    return true;
  }
  return false;
}

void Win32Form::OnDpiChanged(UINT dpi, const RECT& suggested) {
  if (dpi == 0 || dpi == dpi_) return;
  dpi_ = dpi;
  ApplyFonts();
  ApplyColumnWidths();
  for (std::size_t i = 0; i < controls_.size(); ++i) Place(i);
  SetWindowPos(Hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moved to a monitor of another resolution, the window keeps its client area's size in
// design units: the frame does not scale in step with it.
bool Win32Form::OnDpiScaledSize(UINT dpi, SIZE& size) const {
  if (dpi == 0) return false;
  RECT client{};
  if (!GetClientRect(Hwnd(), &client)) return false;
  const int width = MulDiv(Unscale(client.right - client.left), static_cast<int>(dpi), 96);
  const int height = MulDiv(Unscale(client.bottom - client.top), static_cast<int>(dpi), 96);
  size = OuterSizeForClient({width, height}, kFormStyle, kFormExStyle, dpi);
  return true;
}

void Win32Form::ReportClientSize() {
  RECT client{};
  if (!GetClientRect(Hwnd(), &client)) return;
  events_.formResized(Unscale(client.right - client.left), Unscale(client.bottom - client.top));
}

}  // namespace zanto::platform::win32
