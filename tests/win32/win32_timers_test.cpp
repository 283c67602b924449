// Timers on Windows count the user's hours: due moments against an elapsed clock that counts
// sleep, looked at again when the system says it woke. Wine cannot sleep, so the clock is a
// stand-in the tests move, and the return from sleep is the message the system sends.
#include "platform/win32/win32_timers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/win32/win32_desktop.h"
#include "platform/window_classes.h"
#include "win32_test_support.h"

namespace zanto::platform::win32::test {
namespace {

constexpr std::uint64_t kHour = 3'600'000;
constexpr std::uint64_t kDay = 24 * kHour;

// The system's countdowns as ElapsedTimers drives them: the last length each was started
// with, and whether it still runs.
struct Countdowns {
  std::map<ElapsedTimers::Key, std::uint32_t> running;
  bool refuse = false;
  ElapsedTimers::Countdown Api() {
    return {[this](WindowId w, std::uintptr_t id, std::uint32_t ms) {
              if (refuse) return false;
              running[{w, id}] = ms;
              return true;
            },
            [this](WindowId w, std::uintptr_t id) {
              running.erase({w, id});
            }};
  }
};

TEST(ElapsedTimers, ATickIsDueByTheElapsedClockNotByTheSystemsCountdown) {
  std::uint64_t now = 5 * kDay;  // the clock counts from the system's start, not the program's
  Countdowns countdowns;
  ElapsedTimers timers([&] { return now; }, countdowns.Api());
  ASSERT_TRUE(timers.Set(1, 7, static_cast<std::uint32_t>(kDay + 3)));
  EXPECT_EQ(countdowns.running.at({1, 7}), kDay + 3);

  // A countdown that ends early (one that did not count the hours asleep ends late; one that
  // is cut to what the system takes ends early) is started again for the rest.
  now += 20 * kHour;
  EXPECT_FALSE(timers.CountdownEnded(1, 7));
  EXPECT_EQ(countdowns.running.at({1, 7}), 4 * kHour + 3);

  // Due, within the clock's step: the tick goes out, and the next period counts from now.
  now += 4 * kHour + 3 - ElapsedTimers::kClockStepMs;
  EXPECT_TRUE(timers.CountdownEnded(1, 7));
  EXPECT_EQ(countdowns.running.at({1, 7}), kDay + 3);
  now += kDay + 3;
  EXPECT_TRUE(timers.CountdownEnded(1, 7));

  // Below the system's fastest, a timer runs at the fastest; a window timer nobody set here
  // is the system's own.
  ASSERT_TRUE(timers.Set(1, 8, 0));
  EXPECT_EQ(countdowns.running.at({1, 8}), ElapsedTimers::kMinimumMs);
  EXPECT_TRUE(timers.CountdownEnded(2, 1));
}

TEST(ElapsedTimers, OnWakingWhatRanOutFiresOnceInOrderAndTheRestGoOnToTheirMoments) {
  std::uint64_t now = 0;
  Countdowns countdowns;
  ElapsedTimers timers([&] { return now; }, countdowns.Api());
  ASSERT_TRUE(timers.Set(1, 1, static_cast<std::uint32_t>(30 * kHour)));  // the quote
  ASSERT_TRUE(timers.Set(2, 4, 1000));                                    // an add retry
  ASSERT_TRUE(timers.Set(2, 2, static_cast<std::uint32_t>(40 * kHour)));  // still running
  now += 10 * kHour;
  EXPECT_TRUE(timers.CountdownEnded(2, 4));
  timers.Kill(2, 4);
  EXPECT_EQ(countdowns.running.count({2, 4}), 0u);

  // Ten days asleep: the quote's countdown ran out some eight periods ago, the other one too.
  now += 10 * kDay;
  const std::vector<ElapsedTimers::Key> ranOut = timers.Resumed();
  EXPECT_EQ(ranOut, (std::vector<ElapsedTimers::Key>{{1, 1}, {2, 2}})) << "in the order due";
  for (const auto& [window, id] : ranOut) EXPECT_TRUE(timers.CountdownEnded(window, id));
  // Once each: the system's own countdown, ending now too, brings no second tick.
  EXPECT_FALSE(timers.CountdownEnded(1, 1));
  EXPECT_FALSE(timers.CountdownEnded(2, 2));
  EXPECT_TRUE(timers.Resumed().empty());

  // A short sleep that ends before the due moment: nothing fires, and the system's
  // countdown, which may not have counted the sleep, is set to the rest.
  now += 2 * kHour;
  EXPECT_TRUE(timers.Resumed().empty());
  EXPECT_EQ(countdowns.running.at({1, 1}), 28 * kHour);
  now += 28 * kHour;
  EXPECT_TRUE(timers.CountdownEnded(1, 1));

  // A window that goes takes its timers along; a timer the system refuses is not kept.
  timers.KillAll(2);
  EXPECT_EQ(countdowns.running.count({2, 2}), 0u);
  countdowns.refuse = true;
  EXPECT_FALSE(timers.Set(3, 1, 1000));
  countdowns.refuse = false;
  now += 10 * kDay;
  EXPECT_EQ(timers.Resumed(), (std::vector<ElapsedTimers::Key>{{1, 1}}));
}

// A window of the program's that counts its ticks.
class TickCounter final : public MessageHandler {
 public:
  std::vector<std::uintptr_t> ticks;
  std::optional<std::intptr_t> handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                             std::intptr_t) noexcept override {
    if (msg != WM_TIMER) return std::nullopt;
    ticks.push_back(wParam);
    return 0;
  }
};

HWND PowerWindowOfThisProcess() {
  HWND found = nullptr;
  while ((found = FindWindowExW(nullptr, found, L"TPowerWindow", nullptr))) {
    DWORD pid = 0;
    GetWindowThreadProcessId(found, &pid);
    if (pid == GetCurrentProcessId()) return found;
  }
  return nullptr;
}

// Runs the loop's messages for `ms` of real time, or until `done` says so.
template <class Done>
bool PumpFor(std::chrono::milliseconds ms, Done done) {
  const auto until = std::chrono::steady_clock::now() + ms;
  while (std::chrono::steady_clock::now() < until) {
    PumpMessages();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  PumpMessages();
  return done();
}

TEST(Win32Timers, TheResumeMessageBringsTheTickThatCameDueAsleepOnceAndOnlyThat) {
  std::atomic<std::uint64_t> now{7 * kDay};
  Win32Desktop desktop(GetModuleHandleW(nullptr), std::nullopt, [&] { return now.load(); });
  TickCounter quote, retry;
  const auto quoteWindow = desktop.createWindow(window_class::kTimer, quote, true);
  const auto retryWindow = desktop.createWindow(window_class::kTimer, retry, true);
  ASSERT_TRUE(desktop.setTimer(quoteWindow->id(), 1, static_cast<std::uint32_t>(30 * kHour)));
  ASSERT_TRUE(desktop.setTimer(retryWindow->id(), 4, static_cast<std::uint32_t>(kDay)));
  const HWND power = PowerWindowOfThisProcess();
  ASSERT_NE(power, nullptr) << "a top-level window hears the return from sleep";
  EXPECT_EQ(GetParent(power), nullptr);

  // Asleep past the first due moment only.
  now += 25 * kHour;
  SendMessageW(power, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_EQ(quote.ticks, std::vector<std::uintptr_t>{}) << "not due yet after 25 h";
  EXPECT_EQ(retry.ticks, std::vector<std::uintptr_t>{4});
  // Ten days more: one tick each, not eight for the quote and ten for the other, whose next
  // period began at the first waking.
  now += 10 * kDay;
  SendMessageW(power, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
  EXPECT_TRUE(quote.ticks.empty()) << "going to sleep fires nothing";
  SendMessageW(power, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_EQ(quote.ticks, std::vector<std::uintptr_t>{1});
  EXPECT_EQ(retry.ticks, (std::vector<std::uintptr_t>{4, 4}));
  // Nothing more comes through the loop while the clock stands.
  EXPECT_FALSE(PumpFor(std::chrono::milliseconds(300),
                       [&] { return quote.ticks.size() > 1 || retry.ticks.size() > 2; }));

  // A polite request to close the power window is not the program's end: it stays.
  SendMessageW(power, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(power));
}

TEST(Win32Timers, TheSystemsCountdownOnlyWakesTheTimerToLookAtTheClock) {
  std::atomic<std::uint64_t> now{0};
  Win32Desktop desktop(GetModuleHandleW(nullptr), std::nullopt, [&] { return now.load(); });
  TickCounter counter;
  const auto window = desktop.createWindow(window_class::kTimer, counter, true);
  ASSERT_TRUE(desktop.setTimer(window->id(), 1, 50));
  // The system's 50 ms run out again and again, but the elapsed clock stands still: no tick.
  EXPECT_FALSE(PumpFor(std::chrono::milliseconds(400), [&] { return !counter.ticks.empty(); }));
  now += 50;
  EXPECT_TRUE(PumpFor(std::chrono::seconds(10), [&] { return !counter.ticks.empty(); }));
  EXPECT_EQ(counter.ticks.front(), 1u);
  desktop.killTimer(window->id(), 1);
  const std::size_t seen = counter.ticks.size();
  now += 10'000;
  EXPECT_FALSE(PumpFor(std::chrono::milliseconds(300), [&] { return counter.ticks.size() > seen; }))
      << "a stopped timer stays stopped";
}

}  // namespace
}  // namespace zanto::platform::win32::test
