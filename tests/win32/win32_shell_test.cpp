// The notification area on Windows: the record the shell gets and its limits, the icon at
// the taskbar's resolution, the broadcasts an elevated program lets in, the menu's side, and
// the hidden windows' answer to a polite request to end.
#include "platform/win32/win32_shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "platform/win32/win32_desktop.h"
#include "support/constants.h"
#include "tray/tray_icon.h"
#include "win32_test_support.h"

namespace zanto::platform::win32::test {
namespace {

TEST(ShellRecord, EachFieldIsCutToWhatTheChosenLayoutHolds) {
  NotifyIconData data;
  data.hWnd = 0x1234;
  data.uID = TTrayIcon::kIconId;
  data.uFlags = zanto::test::kAddFlags;
  data.uCallbackMessage = TTrayIcon::kCallbackMessage;
  // Fuller than any field: each copy must cut.
  data.szTip.bytes.assign(200, 't');
  data.szInfo.bytes.assign(300, 'i');
  data.szInfoTitle.bytes.assign(100, 'h');
  data.uTimeout = 10000;
  data.dwInfoFlags = niif::Info;
  const HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION

  NOTIFYICONDATAA record;
  data.cbSize = NotifyIconData::kShortSize;
  FillShellRecord(data, icon, record);
  EXPECT_EQ(record.cbSize, NOTIFYICONDATAA_V1_SIZE);
  EXPECT_EQ(std::strlen(record.szTip), 63u) << "the short record's tip";
  EXPECT_EQ(record.szInfo[0], '\0') << "no balloon in the short record";
  EXPECT_EQ(record.hIcon, icon);
  EXPECT_EQ(record.hWnd, reinterpret_cast<HWND>(0x1234));

  data.cbSize = NotifyIconData::kLongSize;
  FillShellRecord(data, icon, record);
  EXPECT_EQ(record.cbSize, NOTIFYICONDATAA_V2_SIZE);
  EXPECT_EQ(std::strlen(record.szTip), 127u);
  EXPECT_EQ(std::strlen(record.szInfo), 255u);
  EXPECT_EQ(std::strlen(record.szInfoTitle), 63u);
  EXPECT_EQ(record.uTimeout, 10000u);
  EXPECT_EQ(record.dwInfoFlags, niif::Info);
  EXPECT_EQ(record.uFlags, zanto::test::kAddFlags);
  EXPECT_EQ(record.uCallbackMessage, TTrayIcon::kCallbackMessage);
}

TEST(ShellRecord, UnicodeTextGoesWholeInTheWideRecord) {
  NotifyIconData data;
  data.cbSize = NotifyIconData::kLongSize;
  data.uFlags = nif::Info;
  data.szInfoTitle = {"Did you know?", TextEncoding::Utf8};
  data.szInfo = {"\xD0\x96\xD0\xB4\xD1\x83 \xF0\x9F\x98\x80", TextEncoding::Utf8};
  data.szTip = {"caf\xE9", TextEncoding::Ansi};  // 8-bit text in a wide record
  ASSERT_TRUE(data.wide());
  NOTIFYICONDATAW record;
  FillShellRecord(data, nullptr, record);
  EXPECT_EQ(record.cbSize, NOTIFYICONDATAW_V2_SIZE);
  EXPECT_EQ(std::wstring(record.szInfo), L"\u0416\u0434\u0443 \U0001F600");
  EXPECT_EQ(std::wstring(record.szInfoTitle), L"Did you know?");
  EXPECT_EQ(std::wstring(record.szTip), L"caf\u00e9") << "read in the code page (1252 here)";

  // The short record's tip holds 63 units; a pair that does not fit stays out whole.
  data.cbSize = NotifyIconData::kShortSize;
  data.szTip = {std::string(62, 'x') + "\xF0\x9F\x98\x80", TextEncoding::Utf8};
  FillShellRecord(data, nullptr, record);
  EXPECT_EQ(record.cbSize, NOTIFYICONDATAW_V1_SIZE);
  EXPECT_EQ(std::wstring(record.szTip), std::wstring(62, L'x'));
  EXPECT_EQ(record.szInfo[0], L'\0') << "no balloon in the short record";
}

// Shift-JIS: the bytes that begin a double-byte character.
bool ShiftJisLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(ShellRecord, ADoubleByteCharacterIsNeverCutInHalf) {
  EXPECT_EQ(WholeCharacters("ab\x82\xA0", 3, &ShiftJisLead), 2u);
  EXPECT_EQ(WholeCharacters("ab\x82\xA0", 4, &ShiftJisLead), 4u);
  EXPECT_EQ(WholeCharacters("\x82\xA0\x82\xA0x", 3, &ShiftJisLead), 2u);
  EXPECT_EQ(WholeCharacters("a\x82", 9, &ShiftJisLead), 1u) << "a lead byte alone at the end";
  // The balloon's 255 bytes end in the first byte of a character: it stays out.
  NotifyIconData data;
  data.cbSize = NotifyIconData::kLongSize;
  data.szInfo = {std::string(254, 'x') + "\x82", TextEncoding::Ansi};
  NOTIFYICONDATAA record;
  FillShellRecord(data, nullptr, record, &ShiftJisLead);
  EXPECT_EQ(std::strlen(record.szInfo), 254u);
}

int WINAPI ScaledMetrics(int, UINT dpi) {
  return MulDiv(16, static_cast<int>(dpi), 96);
}

TEST(TrayIcon, TheSmallIconIsMadeForTheTaskbarsResolution) {
  // The system's figures where it has them; the design size scaled where it has not.
  for (UINT dpi : {96u, 120u, 144u, 192u}) {
    EXPECT_EQ(SmallIconSize(dpi, &ScaledMetrics), MulDiv(16, static_cast<int>(dpi), 96));
    EXPECT_EQ(SmallIconSize(dpi, nullptr), MulDiv(16, static_cast<int>(dpi), 96));
  }
  EXPECT_EQ(SmallIconSize(0, nullptr), 16) << "an unknown resolution is the design's";

  Win32Desktop desktop(GetModuleHandleW(nullptr));
  HICON icon = desktop.TrayIcon(IconId::Program);
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  using Fn = int(WINAPI*)(int, UINT);
  const int expected = SmallIconSize(
      TaskbarDpi(), ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi"));
  EXPECT_EQ(bitmap.bmWidth, expected);
  EXPECT_EQ(desktop.TrayIcon(IconId::Application), icon) << "one icon per size, kept";
  EXPECT_EQ(desktop.TrayIcon(IconId::None), nullptr);
}

struct FilterCall {
  HWND window;
  UINT message;
  DWORD action;
};

TEST(ShellBroadcasts, AnElevatedProgramLetsTheShellsRestartAndAnotherStartsHandOverIn) {
  std::vector<FilterCall> calls;
  const auto recording = [&](HWND window, UINT message, DWORD action) {
    calls.push_back({window, message, action});
    return TRUE;
  };
  const HWND window = reinterpret_cast<HWND>(0x5678);
  EXPECT_TRUE(AllowShellBroadcasts(window, recording));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].message, RegisterWindowMessageW(L"TaskbarCreated"));
  EXPECT_EQ(calls[1].message, RegisterWindowMessageW(L"Zanto.HandOver"))
      << "a start that is not elevated hands over to an elevated Zanto";
  for (const FilterCall& call : calls) {
    EXPECT_EQ(call.window, window);
    EXPECT_EQ(call.action, static_cast<DWORD>(MSGFLT_ALLOW));
  }
  EXPECT_FALSE(AllowShellBroadcasts(window, {})) << "a system without the filter";
}

TEST(PopupMenu, OpensOnTheSideTheUsersHandednessAsksFor) {
  EXPECT_EQ(PopupMenuFlags(false), static_cast<UINT>(TPM_LEFTALIGN));
  EXPECT_EQ(PopupMenuFlags(true), static_cast<UINT>(TPM_RIGHTALIGN));
}

// A hidden window of the program's own that answers some messages itself.
class Answering final : public MessageHandler {
 public:
  explicit Answering(bool answersClose) : answersClose_(answersClose) {}
  int closes = 0;
  std::optional<std::intptr_t> handleMessage(std::uint32_t msg, std::uintptr_t,
                                             std::intptr_t) noexcept override {
    if (msg != WM_CLOSE) return std::nullopt;
    ++closes;
    if (answersClose_) return 0;
    return std::nullopt;
  }

 private:
  bool answersClose_;
};

TEST(HiddenWindows, AWindowThatAnswersCloseStaysForTheProgramToEnd) {
  Win32Desktop desktop(GetModuleHandleW(nullptr));
  Answering answers(true), leaves(false);
  const auto answering = desktop.createWindow("ZantoTestAnswering", answers, false);
  const auto leaving = desktop.createWindow("ZantoTestLeaving", leaves, false);
  const HWND a = reinterpret_cast<HWND>(answering->id());
  const HWND l = reinterpret_cast<HWND>(leaving->id());
  SendMessageW(a, WM_CLOSE, 0, 0);
  SendMessageW(l, WM_CLOSE, 0, 0);
  EXPECT_EQ(answers.closes, 1);
  EXPECT_TRUE(IsWindow(a));
  EXPECT_EQ(leaves.closes, 1);
  EXPECT_FALSE(IsWindow(l)) << "left to the system, the close destroys the window";
  EXPECT_EQ(GetWindowLongPtrW(a, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetParent(a), nullptr) << "top-level, so that the broadcasts reach it";
}

}  // namespace
}  // namespace zanto::platform::win32::test
