#include "toolkit/application.h"

#include <algorithm>
#include <new>

#include "toolkit/form.h"

namespace zanto {

namespace wm = platform::wm;
namespace sc = platform::sc;
namespace sw = platform::sw;

TApplication::TApplication(platform::DesktopRoles desktop) : desktop_(desktop) {}

TApplication::~TApplication() {
  DestroyForms();
}

void TApplication::Initialize() {
  if (!taskbar_) taskbar_ = desktop_.windows.createTaskbarWindow(title_, *this);
}

void TApplication::SetTitle(std::string title) {
  title_ = std::move(title);
  if (taskbar_) taskbar_->setTitle(title_);
}

void TApplication::AddForm(std::unique_ptr<TForm> form) {
  if (!mainForm_) mainForm_ = form.get();
  forms_.push_back(std::move(form));
}

void TApplication::DestroyForms() {
  while (!forms_.empty()) {
    if (forms_.back().get() == mainForm_) mainForm_ = nullptr;
    forms_.pop_back();
  }
}

platform::WindowId TApplication::Handle() const {
  return taskbar_ ? taskbar_->id() : 0;
}

void TApplication::ShowTaskbarWindow(int swCommand) {
  if (taskbar_) taskbar_->show(swCommand);
}

void TApplication::Minimize() {
  if (!IsMinimized()) ShowTaskbarWindow(sw::Minimize);
}

void TApplication::Restore() {
  if (IsMinimized()) ShowTaskbarWindow(sw::Restore);
}

bool TApplication::IsMinimized() const {
  return taskbar_ && taskbar_->isIconic();
}

void TApplication::HookMainWindow(TMessageHook& hook) {
  if (std::find(hooks_.begin(), hooks_.end(), &hook) == hooks_.end()) hooks_.push_back(&hook);
}

void TApplication::UnhookMainWindow(TMessageHook& hook) {
  hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), &hook), hooks_.end());
}

void TApplication::Run() {
  if (ShowMainForm && mainForm_) Guard([&] { mainForm_->Show(); });
  if (!terminated_) desktop_.windows.runMessageLoop();
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  desktop_.windows.quit();
}

void TApplication::ShowErrorBox(const std::string& message) noexcept {
  try {
    desktop_.windows.errorBox(title_, ErrorBoxText(message));
  } catch (...) {
    // Nothing is left to tell the user with; the loop goes on.
  }
}

void TApplication::ShowException(std::exception_ptr failure) noexcept {
  try {
    std::rethrow_exception(failure);
  } catch (const EAbort&) {
  } catch (const std::bad_alloc&) {
    ShowErrorBox("Out of memory");
  } catch (const std::exception& e) {
    ShowErrorBox(e.what());
  } catch (...) {
    ShowErrorBox("Unknown failure");
  }
}

std::optional<std::intptr_t> TApplication::handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                                         std::intptr_t lParam) noexcept {
  std::optional<std::intptr_t> answer;
  Guard([&] {
    // A hook may unhook itself while it runs.
    const std::vector<TMessageHook*> hooks = hooks_;
    for (TMessageHook* hook : hooks)
      if (hook->HookMessage(msg, wParam, lParam)) {
        answer = 0;
        return;
      }
    switch (msg) {
      case wm::SysCommand:
        switch (wParam & 0xFFF0) {
          case sc::Minimize:
            Minimize();
            answer = 0;
            return;
          case sc::Restore:
            Restore();
            answer = 0;
            return;
          case sc::Close:
            if (mainForm_) mainForm_->Close();
            answer = 0;
            return;
        }
        return;
      case wm::Close:
        if (mainForm_) mainForm_->Close();
        answer = 0;
        return;
      case wm::QueryEndSession:
        answer = 1;  // a tray program never holds the session up
        return;
    }
  });
  return answer;
}

}  // namespace zanto
