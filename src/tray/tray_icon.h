// TTrayIcon: the program's icon in the notification area, its balloons, withdrawing the
// application to the tray and bringing it back, and the icon's mouse, keyboard, balloon and
// shell events, which arrive at a hidden window of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "toolkit/application.h"
#include "toolkit/component.h"
#include "toolkit/menu.h"
#include "tray/tray_types.h"

namespace zanto {

class TTrayIcon : public TComponent, private platform::MessageHandler, private TMessageHook {
 public:
  using TMouseEvent = std::function<void(TTrayIcon&, TMouseButton, TShiftState, int x, int y)>;
  using TMouseMoveEvent = std::function<void(TTrayIcon&, TShiftState, int x, int y)>;
  using TAnimateEvent = std::function<void(TTrayIcon&, int imageIndex)>;
  using TContextPopupEvent = std::function<void(TTrayIcon&, platform::Point, bool& handled)>;
  using TNotifyEvent = std::function<void(TTrayIcon&)>;
  using THandOverEvent = std::function<void(TTrayIcon&, std::uintptr_t what)>;

  static constexpr std::uint32_t kCallbackMessage = platform::wm::User + 1;
  static constexpr std::uint32_t kIconId = 1;
  static constexpr std::uint32_t kBalloonShell = 0x50000;  // version 5.0
  enum TimerId : std::uintptr_t {
    kAnimationTimer = 1,
    kBalloonTimer = 2,
    kClickTimer = 3,
    kAddRetryTimer = 4,
  };
  // A refused add is tried again after 1 s, then after twice as long each time, seven times
  // in all: a couple of minutes, about what a shell takes to come up at logon.
  static constexpr std::uint32_t kFirstAddRetryMs = 1000;
  static constexpr int kAddRetries = 7;

  TTrayIcon(TComponent* owner, std::string name);
  ~TTrayIcon() override;

  // Options.
  bool Active() const { return active_; }
  void SetActive(bool active);
  platform::IconId Icon() const { return icon_; }
  void SetIcon(platform::IconId icon);
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int index);
  TImageList* Icons() const { return icons_; }
  void SetIcons(TImageList* icons);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);
  TPopupMenu* DropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(TPopupMenu* menu);
  TTrayVisibilities Visibility() const { return visibility_; }
  void SetVisibility(TTrayVisibilities visibility);
  bool Animated() const { return animated_; }
  void SetAnimated(bool animated);
  std::uint32_t Delay() const { return delay_; }
  void SetDelay(std::uint32_t ms);
  bool Snap() const { return snap_; }
  void SetSnap(bool snap) { snap_ = snap; }

  // Events.
  TMouseEvent OnClick, OnDblClick, OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TAnimateEvent OnAnimate;
  TContextPopupEvent OnContextPopup;
  TNotifyEvent OnBalloonShow, OnBalloonHide, OnBalloonClick;
  // Another start of the program in this session handed over to this one (what: one of
  // platform::handover): the program runs once, and its icon's window is where it is found.
  THandOverEvent OnHandOver;

  // Operations.
  void HideToTray();
  void ShowFromTray();
  // `encoding` is that of both texts: a Unicode quote's balloon goes in the wide record.
  void ShowBalloon(std::string_view title, std::string_view text, TBalloonType kind,
                   std::uint32_t timeoutMs, bool cancelPrevious,
                   platform::TextEncoding encoding = platform::TextEncoding::Ansi);
  void HideBalloons();
  void AddIcon();
  void RemoveIcon();
  std::uint32_t ShellVersion();
  bool ApplicationVisible() const;

  // Run-time state, for those who watch it.
  bool IconShown() const { return iconShown_; }
  bool HiddenAtStart() const { return hiddenAtStart_; }
  int PendingBalloons() const { return pendingBalloons_; }
  std::uint32_t BalloonLength() const { return balloonLength_; }
  bool ClickPending() const { return clickPending_; }
  bool AnimationRunning() const { return animationRunning_; }
  bool AddRetryPending() const { return addRetryPending_; }
  // A balloon the shell refused while the icon was not there yet, shown once it is.
  bool BalloonHeld() const { return heldBalloon_.has_value(); }
  bool TaskListed() const { return taskListed_; }
  platform::IconId IconInUse() const { return iconInUse_; }
  const platform::NotifyIconData& Record() const { return record_; }
  platform::WindowId Handle() const { return window_->id(); }
  std::uint32_t TaskbarCreatedMessage() const { return taskbarCreated_; }
  std::uint32_t HandOverMessage() const { return handOver_; }

  void Loaded() override;

 protected:
  void Notification(TComponent& component, TOperation operation) override;

 private:
  // Activation, icon and record (tray_icon.cpp).
  void Activate();
  void Deactivate();
  void UpdateIcon();
  bool Send(std::uint32_t message, std::uint32_t flags);
  void SetShellVersionBehaviour();
  void ScheduleAddRetry();
  void RetryAdd();
  void StoreTip();
  void ShowHeldBalloon();
  std::size_t TipLimit();
  void SetTaskListed(bool listed);
  bool HookMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;

  // Input and shell events (tray_input.cpp).
  std::optional<std::intptr_t> handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                             std::intptr_t lParam) noexcept override;
  void OnTimerMessage(std::uintptr_t id);
  void OnIconCallback(std::uint32_t code);
  void MouseDown(TMouseButton button, TShiftState shift, platform::Point at);
  void MouseUp(TMouseButton button, TShiftState shift, platform::Point at);
  void DoubleClick(TMouseButton button, TShiftState shift, platform::Point at);
  void Click();
  bool ContextPopup(platform::Point at);  // true: the menu was shown
  void KeyboardPopup(platform::Point at);
  void PopUp(TPopupMenu& menu, platform::Point at);
  void MouseMove(TShiftState shift, platform::Point at);
  void AnimationStep();
  void StartAnimation();
  void StopAnimation();
  void StartTimer(std::uintptr_t id, std::uint32_t ms);
  void StopTimer(std::uintptr_t id);
  TShiftState ReadShiftState();

  platform::NotificationArea& shell_;
  platform::WindowSystem& windows_;
  platform::Timers& timers_;
  platform::ClockAndInput& clock_;
  std::unique_ptr<platform::NativeWindow> window_;
  std::uint32_t taskbarCreated_ = 0;
  std::uint32_t handOver_ = 0;

  bool active_ = false;
  platform::IconId icon_ = platform::IconId::None;
  int iconIndex_ = 0;
  TImageList* icons_ = nullptr;
  std::string hint_;
  TPopupMenu* popupMenu_ = nullptr;
  TPopupMenu* dropDownMenu_ = nullptr;
  TTrayVisibilities visibility_{tvVisibleTaskBar, tvVisibleTaskList, tvAutoHide};
  bool animated_ = false;
  std::uint32_t delay_ = 100;
  bool snap_ = false;

  bool iconShown_ = false;
  bool hiddenAtStart_ = false;
  bool hooked_ = false;
  bool tipChanged_ = false;
  bool animationRunning_ = false;
  bool clickPending_ = false;
  bool buttonDownSeen_ = false;
  bool addRetryPending_ = false;
  TMouseButton clickButton_ = TMouseButton::mbLeft;
  TShiftState clickShift_ = 0;
  platform::Point clickAt_;
  platform::IconId iconInUse_ = platform::IconId::None;
  int pendingBalloons_ = 0;
  std::int64_t balloonStart_ = 0;
  std::uint32_t balloonLength_ = 0;
  bool taskListed_ = true;
  int addRetriesDone_ = 0;
  std::uint32_t shellVersion_ = 0;  // 0: not read successfully yet
  // The balloon fields of the last balloon the shell refused for want of the icon.
  struct THeldBalloon {
    platform::RecordText title;
    platform::RecordText text;
    std::uint32_t timeoutMs = 0;
    std::uint32_t infoFlags = 0;
  };
  std::optional<THeldBalloon> heldBalloon_;
  platform::NotifyIconData record_;
};

}  // namespace zanto
