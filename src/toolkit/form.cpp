#include "toolkit/form.h"

#include "toolkit/application.h"
#include "toolkit/layout.h"

namespace zanto {

using platform::ControlKind;

TForm::TForm(TApplication& app, platform::FormDef def)
    : TComponent(nullptr, def.name),
      app_(app),
      def_(std::move(def)),
      clientWidth_(def_.clientWidth),
      clientHeight_(def_.clientHeight) {
  BeginLoading();
  for (std::size_t i = 0; i < def_.controls.size(); ++i) {
    const int index = static_cast<int>(i);
    TControl* control = nullptr;
    switch (def_.controls[i].kind) {
      case ControlKind::Button:
        control = &Create<TButton>(*this, index);
        break;
      case ControlKind::PageControl:
        control = &Create<TPageControl>(*this, index);
        break;
      case ControlKind::ListView:
        control = &Create<TListView>(*this, index);
        break;
      default:
        control = &Create<TControl>(*this, index);
        break;
    }
    control->BeginLoading();
    controls_.push_back(control);
  }
  bounds_ = layout::Arrange(def_, clientWidth_, clientHeight_);
  native_ = app_.Windows().createForm(def_, app_.Handle(), *this);
}

TForm::~TForm() {
  if (created_) app_.Guard([&] { DoDestroy(); });
  // The window goes first, then what it owns: the user sees it vanish before the icon does.
  native_.reset();
  controls_.clear();
  DestroyComponents();
}

void TForm::FinishCreation() {
  for (std::size_t i = 0; i < ComponentCount(); ++i) {
    TComponent& component = Component(i);
    app_.Guard([&] { component.Loaded(); });
  }
  Loaded();
  created_ = true;
  app_.Guard([&] { DoCreate(); });
}

void TForm::Show() {
  if (visible_ || !native_) return;
  visible_ = true;
  // A window that was to start minimised comes up restored the first time it is shown.
  if (state_ == platform::WindowState::Minimized) state_ = platform::WindowState::Normal;
  native_->setWindowState(state_);
  native_->setVisible(true);
}

void TForm::Hide() {
  if (!visible_ || !native_) return;
  visible_ = false;
  native_->setVisible(false);
}

void TForm::BringToFront() {
  if (visible_ && native_) native_->bringToFront();
}

void TForm::SetWindowState(platform::WindowState state) {
  if (state == state_) return;
  state_ = state;
  if (visible_ && native_) native_->setWindowState(state_);
}

void TForm::Close() {
  if (!CloseQuery()) return;
  if (app_.MainForm() == this)
    app_.Terminate();
  else
    Hide();
}

void TForm::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  const std::vector<platform::Rect> bounds = layout::Arrange(def_, width, height);
  for (std::size_t i = 0; i < bounds.size(); ++i) {
    if (bounds[i] == bounds_[i]) continue;
    bounds_[i] = bounds[i];
    if (native_) native_->setBounds(static_cast<int>(i), bounds[i]);
  }
}

void TForm::PageChanged(TPageControl& control) {
  if (native_) native_->setActivePage(control.Index(), control.ActivePageIndex());
}

void TForm::RowsChanged(TListView& control) {
  if (native_) native_->setRowCount(control.Index(), control.RowCount());
}

void TForm::ClickButton(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= controls_.size()) return;
  if (auto* button = dynamic_cast<TButton*>(controls_[static_cast<std::size_t>(index)]))
    button->Click();
}

void TForm::formClose() noexcept {
  app_.Guard([&] { Close(); });
}

bool TForm::formSysCommand(std::uint32_t command) noexcept {
  // The main window's minimise is the application's: the taskbar window minimises, and the
  // windows it owns go with it.
  if ((command & 0xFFF0) != platform::sc::Minimize || app_.MainForm() != this) return false;
  app_.Perform(platform::wm::SysCommand, command, 0);
  return true;
}

bool TForm::formQueryEndSession() noexcept {
  bool answer = true;
  app_.Guard([&] { answer = QueryEndSession(); });
  return answer;
}

void TForm::formEndSession(bool ending) noexcept {
  app_.Guard([&] { EndSession(ending); });
}

void TForm::controlClicked(int control) noexcept {
  app_.Guard([&] { ClickButton(control); });
}

void TForm::dialogKey(platform::DialogKey key) noexcept {
  app_.Guard([&] {
    const int focused = native_->focusedControl();
    if (key == platform::DialogKey::Enter && focused >= 0 &&
        def_.controls[static_cast<std::size_t>(focused)].kind == ControlKind::Button) {
      ClickButton(focused);  // a focused push button takes Enter itself
      return;
    }
    for (std::size_t i = 0; i < def_.controls.size(); ++i) {
      const auto& c = def_.controls[i];
      if (c.kind != ControlKind::Button) continue;
      if ((key == platform::DialogKey::Enter && c.isDefault) ||
          (key == platform::DialogKey::Escape && c.isCancel)) {
        ClickButton(static_cast<int>(i));
        return;
      }
    }
  });
}

void TForm::pageSelected(int control, int page) noexcept {
  app_.Guard([&] {
    if (control < 0 || static_cast<std::size_t>(control) >= controls_.size()) return;
    if (auto* pages = dynamic_cast<TPageControl*>(controls_[static_cast<std::size_t>(control)]))
      if (page >= 0 && page < pages->PageCount()) pages->activePage_ = page;
  });
}

void TForm::formResized(int clientWidth, int clientHeight) noexcept {
  app_.Guard([&] { SetClientSize(clientWidth, clientHeight); });
}

platform::Text TForm::listRow(int control, std::size_t row) noexcept {
  if (control < 0 || static_cast<std::size_t>(control) >= controls_.size()) return {};
  if (auto* list = dynamic_cast<TListView*>(controls_[static_cast<std::size_t>(control)])) {
    platform::Text text;
    app_.Guard([&] { text = list->Row(row); });
    return text;
  }
  return {};
}

}  // namespace zanto
