// A repeating timer. It runs only while enabled, with a non-zero interval and a handler;
// every change that restarts the countdown fails with "Not enough timers available" when
// the system has no timer left.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/desktop.h"
#include "toolkit/component.h"

namespace zanto {

class TTimer : public TComponent, private platform::MessageHandler {
 public:
  using Handler = std::function<void(TTimer&)>;

  TTimer(TComponent* owner, std::string name);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t ms);
  void SetOnTimer(Handler handler);
  bool Running() const { return running_; }

 private:
  std::optional<std::intptr_t> handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                             std::intptr_t lParam) noexcept override;
  void UpdateTimer();
  void Stop();
  bool Stalled() const;

  bool enabled_ = true;
  std::uint32_t interval_ = 1000;
  Handler onTimer_;
  bool running_ = false;
  std::unique_ptr<platform::NativeWindow> window_;
};

}  // namespace zanto
