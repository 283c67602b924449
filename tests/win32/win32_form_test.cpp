// The settings window on Windows: its client area whatever the frame, its keyboard (Tab,
// Ctrl+Tab, the arrows on the tabs, access keys, the default button, visible focus), its
// pages under a visual style, and labels that are never cut off.
#include "platform/win32/win32_form.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "app/settings_definition.h"
#include "platform/win32/win32_desktop.h"
#include "support/bare_window.h"
#include "win32_test_support.h"

namespace zanto::platform::win32::test {

void PumpMessages() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

int Index(const char* name) {
  return SettingsFormDefinition().indexOf(name);
}

// What a fake visual style was asked to draw.
struct ThemeRecord {
  int opened = 0, closed = 0;
  std::vector<int> parts;
  std::vector<HWND> parentBackgrounds;
};

ThemeApi FakeTheme(ThemeRecord& record, bool themed) {
  ThemeApi api;
  api.isAppThemed = [themed] { return themed ? TRUE : FALSE; };
  api.openThemeData = [&record](HWND, LPCWSTR classes) -> ThemeHandle {
    if (std::wstring(classes) != L"TAB") return nullptr;
    ++record.opened;
    return reinterpret_cast<ThemeHandle>(0x7E);
  };
  api.closeThemeData = [&record](ThemeHandle) {
    ++record.closed;
    return S_OK;
  };
  api.drawThemeBackground = [&record](ThemeHandle, HDC, int part, int, const RECT*, const RECT*) {
    record.parts.push_back(part);
    return S_OK;
  };
  api.drawThemeParentBackground = [&record](HWND child, HDC, const RECT*) {
    record.parentBackgrounds.push_back(child);
    return S_OK;
  };
  return api;
}

class SettingsWindow : public ::testing::Test {
 protected:
  void Make(std::optional<ThemeApi> theme = std::nullopt, const FormDef* def = nullptr) {
    form.reset();
    desktop = std::make_unique<Win32Desktop>(GetModuleHandleW(nullptr), std::move(theme));
    form = desktop->createForm(def ? *def : SettingsFormDefinition(), 0, events);
  }
  void Show() {
    form->setVisible(true);
    SetForegroundWindow(Window());
    PumpMessages();
  }
  Win32Form& Form() { return static_cast<Win32Form&>(*form); }
  HWND Window() { return reinterpret_cast<HWND>(form->id()); }
  HWND Control(const char* name) { return Form().ControlWindow(Index(name)); }
  int Focused() { return Form().focusedControl(); }
  void Tab(bool ctrl = false, bool shift = false) {
    ASSERT_TRUE(Form().NavigationKey(VK_TAB, ctrl, shift));
    PumpMessages();
  }
  bool IsDefault(const char* button) {
    return (GetWindowLongPtrW(Control(button), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  }

  RecordedEvents events;
  std::unique_ptr<Win32Desktop> desktop;
  std::unique_ptr<NativeForm> form;
};

TEST_F(SettingsWindow, TheClientAreaIsTheDesignsWhateverTheFrame) {
  Make();
  const UINT dpi = [&] {
    using Fn = UINT(WINAPI*)(HWND);
    const auto forWindow = ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    return forWindow ? forWindow(Window()) : 96u;
  }();
  RECT client{}, outer{};
  GetClientRect(Window(), &client);
  GetWindowRect(Window(), &outer);
  EXPECT_EQ(client.right, MulDiv(411, static_cast<int>(dpi), 96));
  EXPECT_EQ(client.bottom, MulDiv(253, static_cast<int>(dpi), 96));
  // With the classic frame of 4 pixels and a caption of 19 that is the outer size 419 x 280.
  if (dpi == 96 && GetSystemMetrics(SM_CXSIZEFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER) == 4 &&
      GetSystemMetrics(SM_CYCAPTION) == 19) {
    EXPECT_EQ(outer.right - outer.left, 419);
    EXPECT_EQ(outer.bottom - outer.top, 280);
  }
  // Moved to a monitor of twice the resolution, the client area is twice the design's,
  // framed as that monitor frames it.
  SIZE size{};
  EXPECT_TRUE(
      SendMessageW(Window(), WM_GETDPISCALEDSIZE, 2 * dpi, reinterpret_cast<LPARAM>(&size)));
  const SIZE expected = OuterSizeForClient(
      {MulDiv(822, static_cast<int>(dpi), 96), MulDiv(506, static_cast<int>(dpi), 96)}, kFormStyle,
      kFormExStyle, 2 * dpi);
  EXPECT_EQ(size.cx, expected.cx);
  EXPECT_EQ(size.cy, expected.cy);
  // Whatever the frame, the outer size is the client area and the frame around it.
  RECT frame{0, 0, 411, 253};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  const SIZE at96 = OuterSizeForClient({411, 253}, kFormStyle, kFormExStyle, 96);
  if (GetSystemMetrics(SM_CXSIZEFRAME) > 0 && dpi == 96) {
    EXPECT_EQ(at96.cx, frame.right - frame.left);
    EXPECT_EQ(at96.cy, frame.bottom - frame.top);
  }
}

TEST_F(SettingsWindow, TabGoesThroughTheButtonsThePageControlAndTheShownPage) {
  Make();
  const int pages = Index("PageControl");
  form->setActivePage(pages, 0);
  Show();
  EXPECT_EQ(Focused(), Index("BitBtn1")) << "the first shown, the first in the tab order";
  Tab();
  EXPECT_EQ(Focused(), Index("BitBtn2"));
  Tab();
  EXPECT_EQ(Focused(), pages) << "the page control is a stop of its own";
  Tab();
  EXPECT_EQ(Focused(), Index("BitBtn1")) << "the General page has nothing to stop on";

  form->setActivePage(pages, 1);
  const HWND list = Control("ListView1");
  form->setRowCount(Index("ListView1"), events.rows.size());
  for (const char* name : {"BitBtn2", "PageControl", "ListView1", "BitBtn1"}) {
    Tab();
    EXPECT_EQ(Focused(), Index(name)) << "forwards to " << name;
    if (Focused() != Index("ListView1")) continue;
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 0)
        << "the list shows where the keyboard is: on its first row";
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1)
        << "which is not chosen by that";
  }
  for (const char* name : {"ListView1", "PageControl", "BitBtn2", "BitBtn1"}) {
    Tab(false, true);
    EXPECT_EQ(Focused(), Index(name)) << "Shift+Tab back to " << name;
  }
  // Through the loop, as a key press arrives.
  MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_TRUE(desktop->TranslateKeyboard(tab));
  EXPECT_EQ(Focused(), Index("BitBtn2"));
  // The focus shows once the keyboard has been used.
  const LRESULT cues = SendMessageW(Window(), WM_QUERYUISTATE, 0, 0);
  EXPECT_EQ(cues & UISF_HIDEFOCUS, 0);
}

TEST_F(SettingsWindow, CtrlTabAndCtrlPageKeysTurnThePagesFromAnywhere) {
  Make();
  const int pages = Index("PageControl");
  const HWND tabs = Control("PageControl");
  form->setActivePage(pages, 1);
  Show();
  SetFocus(Control("ListView1"));
  events.seen.clear();
  Tab(true);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Focused(), pages) << "the About page has nothing to stop on";
  Tab(true);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0) << "round again";
  Tab(true, true);
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2) << "Ctrl+Shift+Tab goes back";
  SetFocus(Control("BitBtn2"));
  ASSERT_TRUE(Form().NavigationKey(VK_NEXT, true, false));
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
  ASSERT_TRUE(Form().NavigationKey(VK_PRIOR, true, false));
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Focused(), Index("BitBtn2")) << "the focus stays where it was when it can";
  EXPECT_FALSE(Form().NavigationKey(VK_NEXT, false, false)) << "PgDn alone is the control's";
  const std::string p = "page " + std::to_string(pages) + " ";
  EXPECT_EQ(events.seen, (std::vector<std::string>{p + "2", p + "0", p + "2", p + "0", p + "2"}))
      << "the program hears of every page as of a click on its tab";

  // On the focused tabs the arrows switch pages.
  SetFocus(tabs);
  events.seen.clear();
  SendMessageW(tabs, WM_KEYDOWN, VK_LEFT, 0);
  PumpMessages();
  EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(events.seen, (std::vector<std::string>{p + "1"}));
  EXPECT_TRUE(IsWindowVisible(Control("ListView1"))) << "the page shows what it holds";
}

TEST_F(SettingsWindow, AccessKeysPressTheirButtonsAndTheFocusedButtonIsTheDefault) {
  Make();
  Show();
  events.seen.clear();
  EXPECT_TRUE(Form().AccessKey(L'o'));
  EXPECT_TRUE(Form().AccessKey(L'C'));
  EXPECT_FALSE(Form().AccessKey(L'z'));
  MSG altO{Window(), WM_SYSCHAR, L'O', 0, 0, {}};
  EXPECT_TRUE(desktop->TranslateKeyboard(altO));
  const std::string ok = "clicked " + std::to_string(Index("BitBtn2"));
  const std::string cancel = "clicked " + std::to_string(Index("BitBtn1"));
  EXPECT_EQ(events.seen, (std::vector<std::string>{ok, cancel, ok}));

  SetFocus(Control("BitBtn1"));
  PumpMessages();
  EXPECT_TRUE(IsDefault("BitBtn1")) << "Enter presses the focused button";
  EXPECT_FALSE(IsDefault("BitBtn2"));
  SetFocus(Control("PageControl"));
  PumpMessages();
  EXPECT_TRUE(IsDefault("BitBtn2")) << "elsewhere Enter presses OK";
  EXPECT_FALSE(IsDefault("BitBtn1"));
}

TEST_F(SettingsWindow, ThemedPagesPaintTheTabBodyWithLabelsInTheSystemsTextColour) {
  ThemeRecord themed;
  Make(FakeTheme(themed, true));
  form->setActivePage(Index("PageControl"), 0);
  Show();
  RedrawWindow(Window(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
  EXPECT_EQ(themed.opened, 1);
  ASSERT_FALSE(themed.parts.empty()) << "the shown page paints itself";
  for (int part : themed.parts) EXPECT_EQ(part, kTabBodyPart);

  const HWND label = Control("Label6");
  const HWND page = GetParent(label);
  WindowDC dc(label);
  themed.parentBackgrounds.clear();
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(page, WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc.get()),
                                                           reinterpret_cast<LPARAM>(label)));
  EXPECT_EQ(brush, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(themed.parentBackgrounds, std::vector<HWND>{label}) << "the page shows through";
  EXPECT_EQ(GetBkMode(dc.get()), TRANSPARENT);
  EXPECT_EQ(GetTextColor(dc.get()), GetSysColor(COLOR_WINDOWTEXT));
  {
    // A high-contrast theme: light text on a dark page. The label follows the system's
    // colour, not the device context's black.
    const int element = COLOR_WINDOWTEXT;
    const COLORREF before = GetSysColor(element), contrast = RGB(255, 255, 0);
    ASSERT_TRUE(SetSysColors(1, &element, &contrast));
    SetTextColor(dc.get(), RGB(0, 0, 0));
    SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                 reinterpret_cast<LPARAM>(label));
    SetSysColors(1, &element, &before);
    EXPECT_EQ(GetTextColor(dc.get()), contrast);
  }
  form.reset();
  EXPECT_EQ(themed.closed, 1);

  ThemeRecord classic;
  Make(FakeTheme(classic, false));
  Show();
  RedrawWindow(Window(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
  EXPECT_EQ(classic.opened, 0);
  EXPECT_TRUE(classic.parts.empty()) << "without a style the grey of dialogs";
  const HWND classicLabel = Control("Label6");
  WindowDC classicDc(classicLabel);
  EXPECT_NE(SendMessageW(GetParent(classicLabel), WM_CTLCOLORSTATIC,
                         reinterpret_cast<WPARAM>(classicDc.get()),
                         reinterpret_cast<LPARAM>(classicLabel)),
            reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
}

TEST_F(SettingsWindow, TheQuotesPageShowsEveryRowAsWhatItIs) {
  EXPECT_EQ(RowText({"caf\xE9", TextEncoding::Ansi}), L"caf\u00e9") << "code page 1252 here";
  EXPECT_EQ(RowText({"\xD0\x96 \xF0\x9F\x98\x80", TextEncoding::Utf8}), L"\u0416 \U0001F600");

  events.rows = {"\xD0\x96\xD0\xB4\xD1\x83", "Smile \xF0\x9F\x98\x80"};
  events.encoding = TextEncoding::Utf8;
  Make();
  form->setRowCount(Index("ListView1"), events.rows.size());
  wchar_t text[64] = {};
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(Control("ListView1"), LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(std::wstring(text), L"Smile \U0001F600");
  SendMessageW(Control("ListView1"), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(std::wstring(text), L"\u0416\u0434\u0443");
}

// Whether a label's window holds all of its text, drawn as the label draws it.
void ExpectWholeText(HWND label, const std::string& name) {
  RECT box{};
  GetClientRect(label, &box);
  wchar_t text[512] = {};
  GetWindowTextW(label, text, 512);
  WindowDC dc(label);
  SelectedObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  const LONG_PTR type = GetWindowLongPtrW(label, GWL_STYLE) & SS_TYPEMASK;
  const bool wraps = type == SS_LEFT || type == SS_RIGHT || type == SS_CENTER;
  RECT need{0, 0, box.right, 0};
  DrawTextW(dc.get(), text, -1, &need,
            DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
  EXPECT_LE(need.bottom, box.bottom) << name << " is cut off at the bottom";
  EXPECT_LE(need.right, box.right) << name << " is cut off at the side";
}

TEST_F(SettingsWindow, NoLabelIsCutOffAndALineTooLongForItsPlaceWraps) {
  Make();
  for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"})
    ExpectWholeText(Control(name), name);

  FormDef narrow = zanto::test::BareWindow("frmNarrow");
  narrow.className = "ZantoNarrowTest";
  ControlDef label;
  label.name = "Label";
  label.kind = ControlKind::Label;
  label.bounds = {8, 8, 60, 13};
  label.caption = "a line far too long for its place";
  narrow.controls.push_back(label);
  Make(std::nullopt, &narrow);
  const HWND window = Form().ControlWindow(0);
  ExpectWholeText(window, "the narrow label");
  RECT box{};
  GetClientRect(window, &box);
  EXPECT_EQ(box.right, 60) << "it keeps its width";
  EXPECT_GT(box.bottom, 13) << "and grows downwards";
}

}  // namespace
}  // namespace zanto::platform::win32::test
