#include "toolkit/timer.h"

#include "platform/window_classes.h"
#include "toolkit/application.h"

namespace zanto {

namespace {
constexpr std::uintptr_t kTimerId = 1;
}

TTimer::TTimer(TComponent* owner, std::string name)
    : TComponent(owner, std::move(name)),
      window_(Application().Windows().createWindow(platform::window_class::kTimer, *this, true)) {}

TTimer::~TTimer() {
  Stop();
}

void TTimer::Stop() {
  if (!running_) return;
  running_ = false;
  Application().Timers().killTimer(window_->id(), kTimerId);
}

void TTimer::UpdateTimer() {
  Stop();
  if (!enabled_ || interval_ == 0 || !onTimer_) return;
  if (!Application().Timers().setTimer(window_->id(), kTimerId, interval_))
    throw EOutOfResources("Not enough timers available");
  running_ = true;
}

// Setting a value the timer already has changes nothing, unless an earlier start failed for
// want of timers: then the same request tries again rather than leave it stopped for good.
bool TTimer::Stalled() const {
  return !running_ && enabled_ && interval_ != 0 && onTimer_;
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_ && !Stalled()) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(std::uint32_t ms) {
  if (ms == interval_ && !Stalled()) return;
  interval_ = ms;
  UpdateTimer();
}

void TTimer::SetOnTimer(Handler handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

std::optional<std::intptr_t> TTimer::handleMessage(std::uint32_t msg, std::uintptr_t,
                                                   std::intptr_t) noexcept {
  if (msg != platform::wm::Timer) return std::nullopt;
  Application().Guard([&] {
    // The handler may replace itself while it runs.
    if (Handler handler = onTimer_) handler(*this);
  });
  return 0;
}

}  // namespace zanto
