// What comes back from the icon and the shell: callback codes, the component's own timers,
// the shell's restart broadcast and the end of the session.
#include "tray/tray_icon.h"

namespace zanto {

namespace wm = platform::wm;
namespace nin = platform::nin;
namespace vk = platform::vk;

std::optional<std::intptr_t> TTrayIcon::handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                                      std::intptr_t lParam) noexcept {
  if (msg == wm::QueryEndSession) return 1;  // never hold the session up
  std::optional<std::intptr_t> answer = 0;
  Application().Guard([&] {
    if (msg == wm::EndSession) {
      if (wParam != 0) RemoveIcon();
    } else if (msg == wm::Timer) {
      OnTimerMessage(wParam);
    } else if (msg == kCallbackMessage) {
      if (!Designing()) OnIconCallback(static_cast<std::uint32_t>(lParam));
    } else if (msg == wm::Close) {
      // What taskkill, installers and the Restart Manager send to end a program politely.
      // The program ends as by its Exit command, the icon taken away with it; the default
      // handling would destroy this window and leave a process without icon or menu.
      Application().Terminate();
    } else if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
      // The shell restarted and forgot the icon.
      if (iconShown_) {
        RemoveIcon();
        AddIcon();
      }
    } else if (msg == handOver_ && handOver_ != 0) {
      if (OnHandOver) OnHandOver(*this, wParam);
    } else {
      answer.reset();
    }
  });
  return answer;
}

TShiftState TTrayIcon::ReadShiftState() {
  TShiftState shift = 0;
  if (clock_.keyDown(vk::Shift)) shift |= ssShift;
  if (clock_.keyDown(vk::Menu)) shift |= ssAlt;
  if (clock_.keyDown(vk::Control)) shift |= ssCtrl;
  if (clock_.keyDown(vk::LButton)) shift |= ssLeft;
  if (clock_.keyDown(vk::RButton)) shift |= ssRight;
  if (clock_.keyDown(vk::MButton)) shift |= ssMiddle;
  return shift;
}

void TTrayIcon::OnIconCallback(std::uint32_t code) {
  const TShiftState shift = ReadShiftState();
  const platform::Point at = clock_.cursorPos();
  switch (code) {
    case wm::ContextMenu:
      ContextPopup(at);
      break;
    case nin::KeySelect:
      KeyboardPopup(at);
      break;
    case wm::MouseMove:
      MouseMove(shift, at);
      break;
    case wm::LButtonDown:
      MouseDown(TMouseButton::mbLeft, shift, at);
      break;
    case wm::RButtonDown:
      MouseDown(TMouseButton::mbRight, shift, at);
      break;
    case wm::MButtonDown:
      MouseDown(TMouseButton::mbMiddle, shift, at);
      break;
    case wm::LButtonUp:
      MouseUp(TMouseButton::mbLeft, shift, at);
      break;
    case wm::RButtonUp:
      MouseUp(TMouseButton::mbRight, shift, at);
      break;
    case wm::MButtonUp:
      MouseUp(TMouseButton::mbMiddle, shift, at);
      break;
    case wm::LButtonDblClk:
      DoubleClick(TMouseButton::mbLeft, shift, at);
      break;
    case wm::RButtonDblClk:
      DoubleClick(TMouseButton::mbRight, shift, at);
      break;
    case wm::MButtonDblClk:
      DoubleClick(TMouseButton::mbMiddle, shift, at);
      break;
    case nin::BalloonHide:
      try {
        if (OnBalloonHide) OnBalloonHide(*this);
      } catch (...) {
        // A failure of the program's balloon handler must not disturb the icon.
      }
      break;
    case nin::BalloonTimeout: {
      const std::int64_t now = clock_.localTimeMilliseconds();
      const std::int64_t elapsed = now >= balloonStart_ ? now - balloonStart_ : balloonStart_ - now;
      // The shell may report a time-out early; only one past the balloon's length counts.
      if (elapsed / 1000 > static_cast<std::int64_t>(balloonLength_)) HideBalloons();
      break;
    }
    case nin::BalloonUserClick:
      try {
        if (OnBalloonClick) OnBalloonClick(*this);
      } catch (...) {
      }
      HideBalloons();
      break;
    default:
      break;
  }
}

void TTrayIcon::OnTimerMessage(std::uintptr_t id) {
  switch (id) {
    case kAnimationTimer:
      AnimationStep();
      break;
    case kBalloonTimer:
      StopTimer(kBalloonTimer);
      HideBalloons();
      break;
    case kClickTimer:
      StopTimer(kClickTimer);
      if (clickPending_) {
        clickPending_ = false;
        Click();
      }
      break;
    case kAddRetryTimer:
      RetryAdd();
      break;
    default:
      break;
  }
}

void TTrayIcon::MouseDown(TMouseButton button, TShiftState shift, platform::Point at) {
  buttonDownSeen_ = true;
  if (OnMouseDown) OnMouseDown(*this, button, shift, at.x, at.y);
}

void TTrayIcon::MouseUp(TMouseButton button, TShiftState shift, platform::Point at) {
  if (buttonDownSeen_) {
    buttonDownSeen_ = false;
    const bool wantsClick =
        OnClick ||
        (button == TMouseButton::mbLeft &&
         (dropDownMenu_ || visibility_.Has(tvRestoreClick) || visibility_.Has(tvMinimizeClick)));
    if (wantsClick) {
      clickButton_ = button;
      clickShift_ = shift;
      clickAt_ = at;
      if (!clickPending_) {
        clickPending_ = true;
        StartTimer(kClickTimer, clock_.doubleClickTime());
      }
    }
  }
  if (OnMouseUp) OnMouseUp(*this, button, shift, at.x, at.y);
  // Older shells send no context request: the right button's release stands for it.
  if (button == TMouseButton::mbRight && ShellVersion() < kBalloonShell) ContextPopup(at);
}

void TTrayIcon::Click() {
  if (OnClick) OnClick(*this, clickButton_, clickShift_, clickAt_.x, clickAt_.y);
  if (clickButton_ != TMouseButton::mbLeft) return;
  if (dropDownMenu_) PopUp(*dropDownMenu_, clickAt_);
  const bool visible = ApplicationVisible();
  if (visible && visibility_.Has(tvMinimizeClick))
    HideToTray();
  else if (!visible && visibility_.Has(tvRestoreClick))
    ShowFromTray();
}

void TTrayIcon::DoubleClick(TMouseButton button, TShiftState shift, platform::Point at) {
  if (clickPending_) {
    clickPending_ = false;
    StopTimer(kClickTimer);
  }
  if (OnDblClick) {
    OnDblClick(*this, button, shift, at.x, at.y);
    return;
  }
  if (button != TMouseButton::mbLeft) return;
  if (popupMenu_) {
    for (TMenuItem* item : popupMenu_->Items())
      if (item->Default()) {
        item->Click();
        break;
      }
  }
  const bool visible = ApplicationVisible();
  if (visible && visibility_.Has(tvMinimizeDbClick))
    HideToTray();
  else if (!visible && visibility_.Has(tvRestoreDbClick))
    ShowFromTray();
}

bool TTrayIcon::ContextPopup(platform::Point at) {
  if (OnContextPopup) {
    bool handled = false;
    OnContextPopup(*this, at, handled);
    if (handled) return false;
  }
  if (!popupMenu_) return false;
  PopUp(*popupMenu_, at);
  return true;
}

// The user came to the icon with the keyboard (Win+B, the arrows, Enter): once the menu has
// closed, the keyboard goes back to the notification area, as the shell asks of its icons,
// unless the choice opened the window, which then has it.
void TTrayIcon::KeyboardPopup(platform::Point at) {
  const bool wasVisible = ApplicationVisible();
  if (!ContextPopup(at)) return;
  if (!iconShown_ || Application().Terminated() || ShellVersion() < kBalloonShell) return;
  if (!wasVisible && ApplicationVisible()) return;
  Send(platform::nim::SetFocus, 0);
}

void TTrayIcon::PopUp(TPopupMenu& menu, platform::Point at) {
  // The menu must belong to the foreground window, or it would not close when the user
  // clicks elsewhere; the null message afterwards lets it close at once.
  windows_.setForegroundWindow(window_->id());
  const int command = menu.Track(window_->id(), at);
  windows_.postMessage(window_->id(), wm::Null, 0, 0);
  // The chosen item runs only if its menu survived the time the menu was open.
  if (&menu == popupMenu_ || &menu == dropDownMenu_) menu.DispatchCommand(command);
}

void TTrayIcon::MouseMove(TShiftState shift, platform::Point at) {
  if (tipChanged_) {
    tipChanged_ = false;
    StoreTip();
    if (iconShown_) Send(platform::nim::Modify, platform::nif::Tip);
  }
  if (OnMouseMove) OnMouseMove(*this, shift, at.x, at.y);
}

void TTrayIcon::AnimationStep() {
  if (!animated_ || !iconShown_ || !icons_ || icons_->Count() == 0) return;
  iconIndex_ = iconIndex_ < 0 ? 0 : (iconIndex_ + 1) % icons_->Count();
  UpdateIcon();
  if (OnAnimate) OnAnimate(*this, iconIndex_);
}

void TTrayIcon::StartAnimation() {
  if (!iconShown_ || animationRunning_) return;
  animationRunning_ = true;
  StartTimer(kAnimationTimer, delay_);
}

void TTrayIcon::StopAnimation() {
  if (!animationRunning_) return;
  animationRunning_ = false;
  StopTimer(kAnimationTimer);
}

void TTrayIcon::StartTimer(std::uintptr_t id, std::uint32_t ms) {
  // The component's own timers are conveniences: without one the click, animation or
  // early balloon withdrawal simply does not happen.
  timers_.setTimer(window_->id(), id, ms);
}

void TTrayIcon::StopTimer(std::uintptr_t id) {
  timers_.killTimer(window_->id(), id);
}

}  // namespace zanto
