// Timers on Linux desktops count the user's hours: their countdowns run on the clock that
// counts suspend, and logind's word that the computer woke brings what ran out meanwhile,
// once. The test machine cannot suspend: the kernel shows which clock each countdown runs
// on, and a stand-in for the clock moves the due moments as a sleep would.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/boot_timers.h"

namespace zanto::platform::linux_desktop {
namespace {

constexpr std::uint64_t kHour = 3'600'000;
constexpr std::uint64_t kDay = 24 * kHour;

using Ticks = std::vector<std::pair<WindowId, std::uintptr_t>>;

// Runs the event loop until `done` or the deadline; whether `done` came.
template <class Done>
bool RunEventsFor(int ms, Done done) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (done()) return true;
    QThread::msleep(2);
  }
  QCoreApplication::processEvents();
  return done();
}

// The clocks of this process's timerfds, as the kernel reports them.
std::vector<int> TimerFdClocks() {
  std::vector<int> clocks;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc/self/fdinfo"), &::closedir);
  if (!dir) return clocks;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::ifstream info(std::string("/proc/self/fdinfo/") + entry->d_name);
    for (std::string line; std::getline(info, line);)
      if (line.rfind("clockid:", 0) == 0) clocks.push_back(std::stoi(line.substr(8)));
  }
  return clocks;
}

// Timers on a clock that a test moves on by the time the computer slept.
struct Sleeper {
  std::atomic<std::uint64_t> asleep{0};
  Ticks ticks;
  BootTimers timers{[this](WindowId w, std::uintptr_t id) {
                      ticks.push_back({w, id});
                    },
                    [this] { return BootMilliseconds() + asleep.load(); }};
};

TEST(BootTimers, CountdownsRunOnTheClockThatCountsSuspendAndRepeat) {
  Ticks ticks;
  BootTimers timers([&](WindowId w, std::uintptr_t id) { ticks.push_back({w, id}); });
  const std::size_t before = TimerFdClocks().size();
  ASSERT_TRUE(timers.Set(1, 1, 30));
  ASSERT_TRUE(timers.Set(2, 3, static_cast<std::uint32_t>(kDay)));
  const std::vector<int> clocks = TimerFdClocks();
  ASSERT_EQ(clocks.size(), before + 2);
  for (std::size_t i = before; i < clocks.size(); ++i) EXPECT_EQ(clocks[i], CLOCK_BOOTTIME);

  EXPECT_TRUE(RunEventsFor(5000, [&] { return ticks.size() >= 3; })) << "a repeating timer";
  for (const auto& tick : ticks) EXPECT_EQ(tick, (std::pair<WindowId, std::uintptr_t>{1, 1}));

  // Stopped from its own tick, a timer fires no more, and its countdown is gone.
  ticks.clear();
  BootTimers* self = &timers;
  BootTimers stopper([&](WindowId w, std::uintptr_t id) {
    ticks.push_back({w, id});
    self->Kill(1, 1);
  });
  self = &stopper;
  timers.Kill(1, 1);
  ASSERT_TRUE(stopper.Set(1, 1, 20));
  EXPECT_FALSE(RunEventsFor(300, [&] { return ticks.size() > 1; }));
  EXPECT_EQ(ticks.size(), 1u);
  timers.KillAll(2);
  stopper.Kill(1, 1);
  EXPECT_EQ(TimerFdClocks().size(), before) << "a stopped countdown's timerfd is closed at once";
}

TEST(BootTimers, OnWakingWhatRanOutAsleepFiresOnceInOrderAndTheRestGoOn) {
  Sleeper sleeper;
  auto& asleep = sleeper.asleep;
  auto& ticks = sleeper.ticks;
  auto& timers = sleeper.timers;
  ASSERT_TRUE(timers.Set(1, 1, static_cast<std::uint32_t>(30 * kHour)));  // the quote
  ASSERT_TRUE(timers.Set(2, 4, static_cast<std::uint32_t>(kDay)));
  ASSERT_TRUE(timers.Set(3, 2, static_cast<std::uint32_t>(40 * kDay)));  // still to come

  // Going to sleep fires nothing; ten days asleep hold several periods of each of the first
  // two: one tick each, in the order they ran out.
  timers.PrepareForSleep(true);
  asleep = 10 * kDay;
  EXPECT_TRUE(ticks.empty());
  timers.PrepareForSleep(false);
  EXPECT_EQ(ticks, (Ticks{{2, 4}, {1, 1}}));
  // Nothing more: their next periods count from the waking moment, and the third goes on.
  EXPECT_FALSE(RunEventsFor(300, [&] { return ticks.size() > 2; }));
  timers.PrepareForSleep(false);
  EXPECT_EQ(ticks.size(), 2u) << "a second word of waking brings nothing new";

  // A night that ends before the next due moment brings nothing.
  asleep += 8 * kHour;
  timers.PrepareForSleep(false);
  EXPECT_EQ(ticks.size(), 2u);
  asleep += 16 * kHour;
  timers.PrepareForSleep(false);
  EXPECT_EQ(ticks.back(), (std::pair<WindowId, std::uintptr_t>{2, 4}));
  EXPECT_EQ(ticks.size(), 3u);
}

// logind's signal on the system bus reaches the timers; the test's own bus stands in for the
// system bus (see main), where the test may take logind's name.
TEST(BootTimers, LogindsWordOfWakingOnTheSystemBusIsHeard) {
  ASSERT_FALSE(qEnvironmentVariableIsEmpty("ZANTO_TEST_SYSTEM_BUS"))
      << "no private bus: dbus-daemon (Debian's dbus-daemon) is needed";
  Sleeper sleeper;
  auto& asleep = sleeper.asleep;
  auto& ticks = sleeper.ticks;
  auto& timers = sleeper.timers;
  timers.WatchSleep();
  ASSERT_TRUE(timers.Set(1, 1, static_cast<std::uint32_t>(kDay)));
  asleep = 2 * kDay;
  auto prepareForSleep = [](QDBusConnection& from, bool sleeping) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PrepareForSleep"));
    signal << sleeping;
    from.send(signal);
  };
  // Anyone else's word is not heard.
  QDBusConnection stranger = QDBusConnection::connectToBus(
      qEnvironmentVariable("ZANTO_TEST_SYSTEM_BUS"), QStringLiteral("stranger"));
  ASSERT_TRUE(stranger.isConnected());
  prepareForSleep(stranger, false);
  EXPECT_FALSE(RunEventsFor(300, [&] { return !ticks.empty(); }));

  QDBusConnection logind = QDBusConnection::connectToBus(
      qEnvironmentVariable("ZANTO_TEST_SYSTEM_BUS"), QStringLiteral("logind"));
  ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
  // The name's owner is looked up by the watcher: give it the moment to hear of it.
  RunEventsFor(200, [] { return false; });
  prepareForSleep(logind, true);
  EXPECT_FALSE(RunEventsFor(200, [&] { return !ticks.empty(); })) << "falling asleep";
  prepareForSleep(logind, false);
  EXPECT_TRUE(RunEventsFor(5000, [&] { return !ticks.empty(); }));
  EXPECT_FALSE(RunEventsFor(300, [&] { return ticks.size() > 1; })) << "once";
  QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
  QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
}

}  // namespace
}  // namespace zanto::platform::linux_desktop

// A private bus of the test's own, made the system bus before anything connects to one.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  QProcess bus;
  if (!::testing::GTEST_FLAG(list_tests))
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
               QStringLiteral("--config-file=" ZANTO_TEST_BUS_CONFIG)});
  if (!::testing::GTEST_FLAG(list_tests) && bus.waitForStarted(5000) &&
      bus.waitForReadyRead(5000)) {
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    qputenv("ZANTO_TEST_SYSTEM_BUS", address);
  }
  const int status = RUN_ALL_TESTS();
  bus.kill();
  bus.waitForFinished(5000);
  return status;
}
