#include "platform/linux/boot_timers.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QSocketNotifier>
#include <algorithm>
#include <vector>

namespace zanto::platform::linux_desktop {

std::uint64_t BootMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 +
         static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000;
}

// One timer: a timerfd counting down once, started again after each tick.
class BootTimers::Countdown final : public QObject {
 public:
  Countdown(BootTimers& owner, int fd)
      : QObject(&owner), fd_(fd), notifier_(fd, QSocketNotifier::Read) {}
  ~Countdown() override {
    if (fd_ >= 0) ::close(fd_);
  }
  Countdown(const Countdown&) = delete;
  Countdown& operator=(const Countdown&) = delete;

  QSocketNotifier& Notifier() { return notifier_; }
  bool Arm(std::uint64_t ms) {
    itimerspec spec{};
    spec.it_value.tv_sec = static_cast<time_t>(ms / 1000);
    spec.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1'000'000;
    return ::timerfd_settime(fd_, 0, &spec, nullptr) == 0;
  }
  // True when the countdown had run out: what the kernel says, read once.
  bool Drain() {
    std::uint64_t expirations = 0;
    return ::read(fd_, &expirations, sizeof expirations) == sizeof expirations;
  }
  // A countdown that is going: its timerfd goes now, the object once its notifier's signal
  // (which may be what stops it) is done with it.
  void Stop() {
    notifier_.setEnabled(false);
    ::close(fd_);
    fd_ = -1;
    deleteLater();
  }

  std::uint32_t interval = 0;
  std::uint64_t due = 0;

 private:
  int fd_;
  QSocketNotifier notifier_;
};

BootTimers::BootTimers(Tick tick, Clock clock)
    : tick_(std::move(tick)), clock_(clock ? std::move(clock) : Clock(&BootMilliseconds)) {}

BootTimers::~BootTimers() = default;  // the countdowns are children

bool BootTimers::Set(WindowId window, std::uintptr_t id, std::uint32_t ms) {
  Kill(window, id);
  // CLOCK_BOOTTIME counts suspend; a kernel without it (before 3.15 for timerfds) still
  // gets the monotonic clock, and the due moments checked on waking.
  int fd = ::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) return false;
  auto* countdown = new Countdown(*this, fd);  // owned by this object, as its child
  countdown->interval = std::max(ms, kMinimumMs);
  countdown->due = clock_() + countdown->interval;
  if (!countdown->Arm(countdown->interval)) {
    delete countdown;
    return false;
  }
  const Key key{window, id};
  connect(&countdown->Notifier(), &QSocketNotifier::activated, this, [this, key] { Expired(key); });
  timers_[key] = countdown;
  return true;
}

void BootTimers::Kill(WindowId window, std::uintptr_t id) {
  const auto it = timers_.find({window, id});
  if (it == timers_.end()) return;
  it->second->Stop();
  timers_.erase(it);
}

void BootTimers::KillAll(WindowId window) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->first.first == window) {
      it->second->Stop();
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void BootTimers::WatchSleep() {
  QDBusConnection::systemBus().connect(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
      SLOT(PrepareForSleep(bool)));
}

void BootTimers::Expired(const Key& key) {
  const auto it = timers_.find(key);
  // Nothing to read: the countdown was started again since the kernel said it ran out.
  if (it == timers_.end() || !it->second->Drain()) return;
  Fire(key);
}

void BootTimers::Fire(const Key& key) {
  Countdown& countdown = *timers_.at(key);
  countdown.due = clock_() + countdown.interval;
  countdown.Arm(countdown.interval);
  tick_(key.first, key.second);  // may stop or start this timer: nothing of it is used after
}

void BootTimers::PrepareForSleep(bool sleeping) {
  if (sleeping) return;
  const std::uint64_t now = clock_();
  std::vector<std::pair<std::uint64_t, Key>> ranOut;
  for (const auto& [key, countdown] : timers_) {
    if (countdown->due <= now)
      ranOut.push_back({countdown->due, key});
    else
      countdown->Arm(countdown->due - now);  // the rest, whatever clock the countdown runs on
  }
  std::sort(ranOut.begin(), ranOut.end());
  for (const auto& [due, key] : ranOut) {
    // An earlier tick may have stopped this timer or started it anew.
    const auto it = timers_.find(key);
    if (it == timers_.end() || it->second->due > now) continue;
    it->second->Drain();  // the kernel's word of the same expiry is not a second tick
    Fire(key);
  }
}

}  // namespace zanto::platform::linux_desktop
