// Window timers that count the user's hours. Qt's timers run on the monotonic clock, which
// stops while the computer is suspended; these are timerfds on CLOCK_BOOTTIME, which goes on
// counting, so a countdown that ran out while asleep is due the moment the computer wakes.
// Each timer's due moment is kept on the same clock and looked at again when logind says
// the computer woke (PrepareForSleep(false) on the system bus): whatever ran out fires then,
// once, however many of its periods the sleep held.
#pragma once

#include <time.h>

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "platform/desktop.h"

namespace zanto::platform::linux_desktop {

class BootTimers final : public QObject {
  Q_OBJECT

 public:
  using Tick = std::function<void(WindowId, std::uintptr_t)>;
  // Milliseconds on the clock that counts suspend; a test may stand in for it.
  using Clock = std::function<std::uint64_t()>;

  explicit BootTimers(Tick tick, Clock clock = {});
  ~BootTimers() override;

  // Starts the timer, or starts it anew; false when the system has no timer left.
  bool Set(WindowId window, std::uintptr_t id, std::uint32_t ms);
  void Kill(WindowId window, std::uintptr_t id);
  void KillAll(WindowId window);
  // Listens for logind's word that the computer woke, on the system bus, where there is one.
  void WatchSleep();

  // What a window timer does at the fastest.
  static constexpr std::uint32_t kMinimumMs = 10;

 public slots:
  // The computer goes to sleep (true) or woke (false).
  void PrepareForSleep(bool sleeping);

 private:
  class Countdown;
  using Key = std::pair<WindowId, std::uintptr_t>;
  void Expired(const Key& key);
  void Fire(const Key& key);

  Tick tick_;
  Clock clock_;
  std::map<Key, Countdown*> timers_;  // children of this object
};

// Milliseconds since boot, suspend included.
std::uint64_t BootMilliseconds();

}  // namespace zanto::platform::linux_desktop
