// The notification area on Windows: the record the shell gets and its limits, the icon at
// the taskbar's resolution, the broadcasts an elevated program lets in, the menu's side, and
// the hidden windows' answer to a polite request to end.
#include "platform/win32/win32_shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "platform/win32/win32_desktop.h"
#include "win32_test_support.h"

namespace zanto::platform::win32::test {
namespace {

template <std::size_t N>
void Fill(char (&field)[N], char letter) {
  std::memset(field, letter, N - 1);
  field[N - 1] = '\0';
}

TEST(ShellRecord, EachFieldIsCutToWhatTheChosenLayoutHolds) {
  NotifyIconData data;
  data.hWnd = 0x1234;
  data.uID = 1;
  data.uFlags = 7;
  data.uCallbackMessage = 1025;
  Fill(data.szTip, 't');
  Fill(data.szInfo, 'i');
  Fill(data.szInfoTitle, 'h');
  data.uTimeout = 10000;
  data.dwInfoFlags = 1;
  const HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION

  NOTIFYICONDATAA record;
  data.cbSize = 88;
  FillShellRecord(data, icon, record);
  EXPECT_EQ(record.cbSize, NOTIFYICONDATAA_V1_SIZE);
  EXPECT_EQ(std::strlen(record.szTip), 63u) << "the short record's tip";
  EXPECT_EQ(record.szInfo[0], '\0') << "no balloon in the short record";
  EXPECT_EQ(record.hIcon, icon);
  EXPECT_EQ(record.hWnd, reinterpret_cast<HWND>(0x1234));

  data.cbSize = 488;
  FillShellRecord(data, icon, record);
  EXPECT_EQ(record.cbSize, NOTIFYICONDATAA_V2_SIZE);
  EXPECT_EQ(std::strlen(record.szTip), 127u);
  EXPECT_EQ(std::strlen(record.szInfo), 255u);
  EXPECT_EQ(std::strlen(record.szInfoTitle), 63u);
  EXPECT_EQ(record.uTimeout, 10000u);
  EXPECT_EQ(record.dwInfoFlags, 1u);
  EXPECT_EQ(record.uFlags, 7u);
  EXPECT_EQ(record.uCallbackMessage, 1025u);
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
  HICON icon = desktop.trayIcon(IconId::Program);
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  using Fn = int(WINAPI*)(int, UINT);
  const int expected = SmallIconSize(
      TaskbarDpi(), procAddress<Fn>(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi"));
  EXPECT_EQ(bitmap.bmWidth, expected);
  EXPECT_EQ(desktop.trayIcon(IconId::Application), icon) << "one icon per size, kept";
  EXPECT_EQ(desktop.trayIcon(IconId::None), nullptr);
}

struct FilterCall {
  HWND window;
  UINT message;
  DWORD action;
};

TEST(ShellBroadcasts, AnElevatedProgramLetsTheShellsRestartIn) {
  std::vector<FilterCall> calls;
  const auto recording = [&](HWND window, UINT message, DWORD action) {
    calls.push_back({window, message, action});
    return TRUE;
  };
  const HWND window = reinterpret_cast<HWND>(0x5678);
  EXPECT_TRUE(AllowShellBroadcasts(window, recording));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].window, window);
  EXPECT_EQ(calls[0].message, RegisterWindowMessageW(L"TaskbarCreated"));
  EXPECT_EQ(calls[0].action, 1u) << "MSGFLT_ALLOW";
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
