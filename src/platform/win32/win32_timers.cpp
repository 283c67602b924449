#include "platform/win32/win32_timers.h"

#include <windows.h>

#include <algorithm>

namespace zanto::platform::win32 {

std::uint64_t ElapsedMilliseconds() {
  // Counts the time asleep and hibernated (it is QueryUnbiasedInterruptTime that leaves it
  // out), is not moved by setting the clock, and is there from Vista on, Windows 7 included.
  return GetTickCount64();
}

bool ElapsedTimers::Start(const Key& key, std::uint64_t ms) {
  const auto countdown = static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, kLongestMs));
  return countdown_.start(key.first, key.second, std::max(countdown, kMinimumMs));
}

bool ElapsedTimers::Set(WindowId window, std::uintptr_t id, std::uint32_t ms) {
  const Key key{window, id};
  const std::uint32_t interval = std::max(ms, kMinimumMs);
  if (!Start(key, interval)) {
    timers_.erase(key);
    return false;
  }
  timers_[key] = {interval, clock_() + interval};
  return true;
}

void ElapsedTimers::Kill(WindowId window, std::uintptr_t id) {
  if (timers_.erase({window, id}) != 0) countdown_.stop(window, id);
}

void ElapsedTimers::KillAll(WindowId window) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->first.first == window) {
      countdown_.stop(window, it->first.second);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool ElapsedTimers::CountdownEnded(WindowId window, std::uintptr_t id) {
  const auto it = timers_.find({window, id});
  if (it == timers_.end()) return true;
  Timer& timer = it->second;
  const std::uint64_t now = clock_();
  if (now + kClockStepMs < timer.due) {
    Start(it->first, timer.due - now);
    return false;
  }
  timer.due = now + timer.interval;
  Start(it->first, timer.interval);
  return true;
}

std::vector<ElapsedTimers::Key> ElapsedTimers::Resumed() {
  const std::uint64_t now = clock_();
  std::vector<std::pair<std::uint64_t, Key>> ranOut;
  for (const auto& [key, timer] : timers_) {
    if (now + kClockStepMs < timer.due)
      Start(key, timer.due - now);
    else
      ranOut.push_back({timer.due, key});
  }
  std::sort(ranOut.begin(), ranOut.end());
  std::vector<Key> keys;
  for (const auto& [due, key] : ranOut) keys.push_back(key);
  return keys;
}

}  // namespace zanto::platform::win32
