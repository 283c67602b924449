#include "tray/tray_icon.h"

#include <algorithm>

#include "platform/window_classes.h"
#include "toolkit/form.h"

namespace zanto {

namespace nim = platform::nim;
namespace nif = platform::nif;
namespace sw = platform::sw;

namespace {

// Puts a text into a record field, cut to the field's limit without splitting a character.
// The shell reads a field up to its first NUL: nothing after one is in the field.
void CopyField(platform::RecordText& field, std::string_view text, std::size_t limit,
               platform::TextEncoding encoding = platform::TextEncoding::Ansi) {
  field.encoding = encoding;
  field.bytes.assign(platform::FieldPrefix({text.substr(0, text.find('\0')), encoding}, limit));
}

std::uint32_t InfoFlags(TBalloonType kind) {
  switch (kind) {
    case TBalloonType::btError:
      return platform::niif::Error;
    case TBalloonType::btInfo:
      return platform::niif::Info;
    case TBalloonType::btWarning:
      return platform::niif::Warning;
    case TBalloonType::btNone:
      break;
  }
  return platform::niif::None;
}

}  // namespace

TTrayIcon::TTrayIcon(TComponent* owner, std::string name)
    : TComponent(owner, std::move(name)),
      shell_(Application().Shell()),
      windows_(Application().Windows()),
      timers_(Application().Timers()),
      clock_(Application().Clock()),
      window_(windows_.createWindow(platform::window_class::kTrayIcon, *this, false)),
      taskbarCreated_(windows_.registerWindowMessage("TaskbarCreated")),
      handOver_(windows_.registerWindowMessage(platform::kHandOverMessage)) {}

TTrayIcon::~TTrayIcon() {
  StopTimer(kAddRetryTimer);
  StopTimer(kClickTimer);
  StopTimer(kBalloonTimer);
  Deactivate();
}

std::uint32_t TTrayIcon::ShellVersion() {
  // A failed read is tried again next time; a good one is kept.
  if (shellVersion_ == 0) shellVersion_ = shell_.shellVersion();
  return shellVersion_;
}

std::size_t TTrayIcon::TipLimit() {
  return ShellVersion() < kBalloonShell ? 63 : 127;
}

void TTrayIcon::StoreTip() {
  // The short part of the hint: the text before the first "|".
  CopyField(record_.szTip, hint_.substr(0, hint_.find('|')), TipLimit());
}

bool TTrayIcon::Send(std::uint32_t message, std::uint32_t flags) {
  // The component's state follows the request, not the shell's answer: a refused request
  // is made good by the re-add that follows the shell's restart, and a refused add also by
  // the retries.
  record_.uFlags = flags;
  return shell_.notifyIcon(message, record_);
}

void TTrayIcon::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (Loading()) return;
  if (active_)
    Activate();
  else
    Deactivate();
}

void TTrayIcon::Loaded() {
  TComponent::Loaded();
  UpdateIcon();
  if (!active_) return;
  Activate();
  if (!visibility_.Has(tvVisibleTaskBar)) {
    Application().ShowMainForm = false;
    Application().ShowTaskbarWindow(sw::Hide);
    hiddenAtStart_ = true;
  }
  if (!visibility_.Has(tvVisibleTaskList)) SetTaskListed(false);
}

void TTrayIcon::Activate() {
  record_.cbSize = ShellVersion() < kBalloonShell ? 88 : 488;
  record_.hWnd = window_->id();
  record_.uID = kIconId;
  record_.uCallbackMessage = kCallbackMessage;
  if (iconInUse_ == platform::IconId::None) iconInUse_ = platform::IconId::Application;
  record_.hIcon = iconInUse_;
  StoreTip();
  record_.uFlags = 0;
  if (!hooked_) {
    Application().HookMainWindow(*this);
    hooked_ = true;
  }
  AddIcon();
}

void TTrayIcon::Deactivate() {
  StopAnimation();
  if (hooked_) {
    Application().UnhookMainWindow(*this);
    hooked_ = false;
  }
  RemoveIcon();
}

void TTrayIcon::AddIcon() {
  if (iconShown_ || !active_) return;
  if (visibility_.Has(tvAutoHideIcon) && ApplicationVisible()) return;
  iconShown_ = true;
  const bool added = Send(nim::Add, nif::Message | nif::Icon | nif::Tip);
  SetShellVersionBehaviour();
  // At logon the shell may not be there yet, or too busy to answer in time.
  addRetriesDone_ = 0;
  if (added)
    ShowHeldBalloon();
  else
    ScheduleAddRetry();
  if (animated_) StartAnimation();
}

void TTrayIcon::SetShellVersionBehaviour() {
  if (ShellVersion() < kBalloonShell) return;
  record_.uTimeout = 3;
  Send(nim::SetVersion, 0);
}

void TTrayIcon::ScheduleAddRetry() {
  if (addRetriesDone_ >= kAddRetries) {
    addRetryPending_ = false;  // given up: "TaskbarCreated" still brings the icon back
    return;
  }
  addRetryPending_ = true;
  StartTimer(kAddRetryTimer, kFirstAddRetryMs << addRetriesDone_);
  ++addRetriesDone_;
}

void TTrayIcon::RetryAdd() {
  StopTimer(kAddRetryTimer);
  addRetryPending_ = false;
  if (!iconShown_ || !active_) return;
  // An add the shell answered "no" may still have reached it (a shell that answers too late
  // reports a failure): if it takes a change of the icon, the icon is there, and a second
  // add is never sent for it.
  const std::uint32_t all = nif::Message | nif::Icon | nif::Tip;
  if (Send(nim::Modify, all) || Send(nim::Add, all)) {
    SetShellVersionBehaviour();
    ShowHeldBalloon();
    return;
  }
  ScheduleAddRetry();
}

void TTrayIcon::RemoveIcon() {
  if (!iconShown_) return;
  iconShown_ = false;
  StopAnimation();
  StopTimer(kAddRetryTimer);
  addRetryPending_ = false;
  heldBalloon_.reset();  // a quote kept for this icon goes with it
  Send(nim::Delete, 0);
}

void TTrayIcon::SetIcon(platform::IconId icon) {
  icon_ = icon;
  UpdateIcon();
}

void TTrayIcon::SetIconIndex(int index) {
  iconIndex_ = index;
  UpdateIcon();
}

void TTrayIcon::SetPopupMenu(TPopupMenu* menu) {
  popupMenu_ = menu;
  if (menu) menu->FreeNotification(*this);
}

void TTrayIcon::SetDropDownMenu(TPopupMenu* menu) {
  dropDownMenu_ = menu;
  if (menu) menu->FreeNotification(*this);
}

void TTrayIcon::SetIcons(TImageList* icons) {
  icons_ = icons;
  if (icons) icons->FreeNotification(*this);
  UpdateIcon();
}

void TTrayIcon::UpdateIcon() {
  if (Loading()) return;
  platform::IconId chosen = icon_;
  if (icons_ && iconIndex_ >= 0 && iconIndex_ < icons_->Count())
    chosen = icons_->Get(iconIndex_);
  else if (chosen == platform::IconId::None)
    chosen = platform::IconId::Application;
  iconInUse_ = chosen;
  record_.hIcon = iconInUse_;
  if (iconShown_) Send(nim::Modify, nif::Icon);
}

void TTrayIcon::SetHint(std::string hint) {
  if (ShellVersion() < kBalloonShell) {
    for (std::size_t pos = hint.find("\r\n"); pos != std::string::npos;
         pos = hint.find("\r\n", pos + 3))
      hint.replace(pos, 2, " - ");
  }
  if (hint == hint_) return;
  hint_ = std::move(hint);
  tipChanged_ = true;
}

bool TTrayIcon::ApplicationVisible() const {
  return !hiddenAtStart_ && !Application().IsMinimized();
}

void TTrayIcon::HideToTray() {
  TApplication& app = Application();
  if (ApplicationVisible()) {
    if (snap_) {
      if (TForm* main = app.MainForm()) main->Hide();
      app.ShowMainForm = false;
    }
    app.Minimize();
  }
  app.ShowTaskbarWindow(sw::Hide);
  visibility_ = visibility_.Without(tvVisibleTaskBar);
  if (visibility_.Has(tvAutoHideIcon)) AddIcon();
}

void TTrayIcon::ShowFromTray() {
  TApplication& app = Application();
  if (hiddenAtStart_) {
    hiddenAtStart_ = false;
    app.Minimize();
    app.ShowMainForm = true;
  }
  visibility_ = visibility_.With(tvVisibleTaskBar);
  app.ShowTaskbarWindow(sw::Show);
  app.Restore();
  if (TForm* main = app.MainForm()) main->Show();
  if (visibility_.Has(tvAutoHideIcon)) RemoveIcon();
}

bool TTrayIcon::HookMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t) {
  if (msg == platform::wm::SysCommand && wParam == platform::sc::Minimize &&
      visibility_.Has(tvAutoHide) && active_)
    HideToTray();
  return false;  // the taskbar window still minimises as usual
}

void TTrayIcon::SetVisibility(TTrayVisibilities visibility) {
  if (visibility == visibility_) return;
  const TTrayVisibilities before = visibility_;
  visibility_ = visibility;
  // While loading, an icon that is to be active is not active yet: load completion acts on
  // the stored set.
  if (!active_ || Loading()) return;
  const TTrayVisibilities added = visibility.Minus(before);
  const TTrayVisibilities removed = before.Minus(visibility);
  SetTaskListed(visibility.Has(tvVisibleTaskList));
  if (added.Has(tvAutoHide) && !ApplicationVisible()) HideToTray();
  if (added.Has(tvVisibleTaskBar))
    ShowFromTray();
  else if (removed.Has(tvVisibleTaskBar))
    HideToTray();
  if (added.Has(tvAutoHideIcon) && !Application().IsMinimized()) RemoveIcon();
  if (removed.Has(tvAutoHideIcon) && !Application().IsMinimized()) AddIcon();
}

void TTrayIcon::SetTaskListed(bool listed) {
  if (listed == taskListed_) return;
  taskListed_ = listed;
  shell_.registerServiceProcess(!listed);
}

void TTrayIcon::ShowBalloon(std::string_view title, std::string_view text, TBalloonType kind,
                            std::uint32_t timeoutMs, bool cancelPrevious,
                            platform::TextEncoding encoding) {
  if (ShellVersion() < kBalloonShell) return;
  if (cancelPrevious) HideBalloons();
  balloonStart_ = clock_.localTimeMilliseconds();
  balloonLength_ = timeoutMs / 1000;
  CopyField(record_.szInfoTitle, title, 63, encoding);
  CopyField(record_.szInfo, text, 255, encoding);
  record_.uTimeout = timeoutMs;
  record_.dwInfoFlags = InfoFlags(kind);
  const bool withText = !title.empty() || !text.empty();
  // A quote shown while the shell has no icon yet (at logon, while the add is tried again)
  // would be lost: it is kept, the latest only, and shown when the icon arrives. Any later
  // balloon, or its withdrawal, takes its place.
  heldBalloon_.reset();
  if (!Send(nim::Modify, nif::Info) && withText && addRetryPending_)
    heldBalloon_ =
        THeldBalloon{record_.szInfoTitle, record_.szInfo, record_.uTimeout, record_.dwInfoFlags};
  if (withText)
    ++pendingBalloons_;
  else
    pendingBalloons_ = std::max(0, pendingBalloons_ - 1);
  if (timeoutMs < 10000 && withText) StartTimer(kBalloonTimer, timeoutMs);
  if (OnBalloonShow) OnBalloonShow(*this);
}

void TTrayIcon::ShowHeldBalloon() {
  if (!heldBalloon_) return;
  const THeldBalloon held = std::move(*heldBalloon_);
  heldBalloon_.reset();
  // Already counted in PendingBalloons when it was refused; its time-out runs from now.
  balloonStart_ = clock_.localTimeMilliseconds();
  record_.szInfoTitle = held.title;
  record_.szInfo = held.text;
  record_.uTimeout = held.timeoutMs;
  record_.dwInfoFlags = held.infoFlags;
  Send(nim::Modify, nif::Info);
  if (held.timeoutMs < 10000) StartTimer(kBalloonTimer, held.timeoutMs);
}

void TTrayIcon::HideBalloons() {
  const int n = pendingBalloons_;
  for (int i = 0; i <= n; ++i) ShowBalloon({}, {}, TBalloonType::btNone, 5000, false);
}

void TTrayIcon::SetAnimated(bool animated) {
  if (animated == animated_) return;
  animated_ = animated;
  if (animated_)
    StartAnimation();
  else
    StopAnimation();
}

void TTrayIcon::SetDelay(std::uint32_t ms) {
  StopAnimation();
  delay_ = ms;
  if (animated_) StartAnimation();
}

void TTrayIcon::Notification(TComponent& component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (&component == popupMenu_) popupMenu_ = nullptr;
  if (&component == dropDownMenu_) dropDownMenu_ = nullptr;
  if (&component == icons_) {
    icons_ = nullptr;
    UpdateIcon();
  }
}

}  // namespace zanto
