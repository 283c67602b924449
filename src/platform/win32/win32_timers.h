// Window timers that count the user's hours. SetTimer promises nothing across sleep and
// hibernation, so each timer's due moment is kept against an elapsed clock that does count
// them (GetTickCount64), and the system's countdown only wakes the program to look: a tick
// goes to the program when the clock says it is due. On waking, the due moments are looked
// at again, since the system's countdowns may not have counted the hours asleep.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace zanto::platform::win32 {

class ElapsedTimers {
 public:
  // Milliseconds of an elapsed clock that counts sleep and that no setting of the time moves.
  using Clock = std::function<std::uint64_t()>;
  // The system's countdown of a window's timer: started (anew) for so many ms, or stopped.
  struct Countdown {
    std::function<bool(WindowId, std::uintptr_t, std::uint32_t)> start;
    std::function<void(WindowId, std::uintptr_t)> stop;
  };
  using Key = std::pair<WindowId, std::uintptr_t>;

  // What a window timer does at the fastest (USER_TIMER_MINIMUM).
  static constexpr std::uint32_t kMinimumMs = 10;
  // A countdown may end a clock tick before the clock shows it due (the clock moves in steps
  // of 10 to 16 ms): a tick that close counts as due.
  static constexpr std::uint64_t kClockStepMs = 16;
  // The longest countdown the system takes (USER_TIMER_MAXIMUM).
  static constexpr std::uint32_t kLongestMs = 0x7FFFFFFF;

  ElapsedTimers(Clock clock, Countdown countdown)
      : clock_(std::move(clock)), countdown_(std::move(countdown)) {}

  // Starts the timer, or starts it anew; false when the system has no timer left.
  bool Set(WindowId window, std::uintptr_t id, std::uint32_t ms);
  void Kill(WindowId window, std::uintptr_t id);
  void KillAll(WindowId window);  // the window is going
  // The system's countdown of the timer ran out: true when the timer is due and its tick is
  // to go to the program (which starts its next period from now), false when it is not due
  // yet (the countdown is started again for the rest). A timer this table does not know is
  // the system's own business: true.
  bool CountdownEnded(WindowId window, std::uintptr_t id);
  // The computer woke: the timers that ran out while it slept, in the order they ran out,
  // each once however many of its periods the sleep held. The rest go on to their due
  // moments.
  std::vector<Key> Resumed();

 private:
  struct Timer {
    std::uint32_t interval = 0;
    std::uint64_t due = 0;
  };
  bool Start(const Key& key, std::uint64_t ms);

  Clock clock_;
  Countdown countdown_;
  std::map<Key, Timer> timers_;
};

// The system's elapsed clock for ElapsedTimers: GetTickCount64.
std::uint64_t ElapsedMilliseconds();

}  // namespace zanto::platform::win32
