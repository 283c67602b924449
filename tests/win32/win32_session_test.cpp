// One Zanto per session on Windows: the session's claim, and a start handed to the Zanto that
// holds it, through the window its tray icon listens on.
#include "platform/win32/win32_session.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_desktop.h"
#include "platform/window_classes.h"

namespace zanto::platform::win32::test {
namespace {

// A name of the tests' own, so that a real Zanto of the same session is never touched.
std::wstring TestClaimName(const char* test) {
  return L"Local\\zanto-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::wstring(test, test + std::char_traits<char>::length(test));
}

// What a running Zanto's tray icon window hears.
class Listener final : public MessageHandler {
 public:
  std::vector<std::pair<std::uint32_t, std::uintptr_t>> heard;
  std::optional<std::intptr_t> handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                             std::intptr_t) noexcept override {
    if (msg >= 0xC000) heard.emplace_back(msg, wParam);  // registered messages only
    return std::nullopt;
  }
};

void RunPostedMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST(SessionClaim, TheFirstStartHoldsItUntilItEndsAndEveryLaterOneFindsItTaken) {
  const std::wstring name = TestClaimName("claim");
  KernelHandle first, second, third;
  EXPECT_TRUE(ClaimSession(first, name.c_str()));
  EXPECT_TRUE(first);
  EXPECT_FALSE(ClaimSession(second, name.c_str())) << "a Zanto runs";
  EXPECT_FALSE(second) << "a failed claim keeps nothing";
  first.reset();  // the first Zanto ends
  EXPECT_TRUE(ClaimSession(third, name.c_str())) << "the next start is the session's Zanto";
}

TEST(SessionClaim, ASecondStartIsHandedToTheRunningZantosTrayWindow) {
  const std::wstring name = TestClaimName("hand-over");
  KernelHandle running, starting;
  ASSERT_TRUE(ClaimSession(running, name.c_str()));
  Win32Desktop desktop(GetModuleHandleW(nullptr));
  Listener tray;
  const auto window = desktop.createWindow(window_class::kTrayIcon, tray, false);

  ASSERT_FALSE(ClaimSession(starting, name.c_str()));
  EXPECT_TRUE(HandOverToRunningZanto(starting, handover::Start, 2000, name.c_str()));
  RunPostedMessages();
  ASSERT_EQ(tray.heard.size(), 1u);
  EXPECT_EQ(tray.heard[0].first, desktop.registerWindowMessage(kHandOverMessage));
  EXPECT_EQ(tray.heard[0].second, handover::Start);
  EXPECT_FALSE(starting) << "the start that handed over holds nothing";
}

TEST(SessionClaim, AStartThatFindsNoTrayWindowWaitsForItOrForTheClaimToComeFree) {
  const std::wstring name = TestClaimName("no-window");
  KernelHandle running, starting;
  ASSERT_TRUE(ClaimSession(running, name.c_str()));
  ASSERT_FALSE(ClaimSession(starting, name.c_str()));
  // A Zanto that never shows its window: still no second one beside it.
  EXPECT_TRUE(HandOverToRunningZanto(starting, handover::Start, 200, name.c_str()));
  EXPECT_FALSE(starting);
  running.reset();  // it ended meanwhile: this start runs after all
  EXPECT_FALSE(HandOverToRunningZanto(starting, handover::Start, 200, name.c_str()));
  EXPECT_TRUE(starting) << "and holds the claim now";
}

}  // namespace
}  // namespace zanto::platform::win32::test
