// The application object: title, main window, the hidden taskbar window that owns the main
// window, the message loop and the standard error box. One per process.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "toolkit/exceptions.h"
#include "toolkit/random_source.h"

namespace zanto {

class TForm;

// Sees every message of the taskbar window before the application handles it.
class TMessageHook {
 public:
  virtual ~TMessageHook() = default;
  // True when the message has been handled and must go no further.
  virtual bool HookMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

class TApplication final : private platform::MessageHandler {
 public:
  // The desktop the program runs on: one desktop, or roles from several.
  explicit TApplication(platform::DesktopRoles desktop);
  ~TApplication() override;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  platform::NotificationArea& Shell() const { return desktop_.shell; }
  platform::WindowSystem& Windows() const { return desktop_.windows; }
  platform::Timers& Timers() const { return desktop_.timers; }
  platform::Files& Files() const { return desktop_.files; }
  platform::ClockAndInput& Clock() const { return desktop_.clock; }
  TRandomSource& Random() { return random_; }

  // Creates the taskbar window.
  void Initialize();
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);

  // Creates a window; the first one becomes the main window. The application owns it until
  // DestroyForms().
  template <class T, class... Args>
  T& CreateForm(Args&&... args) {
    auto form = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T& ref = *form;
    AddForm(std::move(form));
    ref.FinishCreation();
    return ref;
  }
  TForm* MainForm() const { return mainForm_; }
  void DestroyForms();

  // Whether the main window is shown when the loop starts.
  bool ShowMainForm = true;

  platform::WindowId Handle() const;
  void ShowTaskbarWindow(int swCommand);
  void Minimize();
  void Restore();
  bool IsMinimized() const;

  void HookMainWindow(TMessageHook& hook);
  void UnhookMainWindow(TMessageHook& hook);

  // Handles a message as the taskbar window would, at once.
  std::optional<std::intptr_t> Perform(std::uint32_t msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    return handleMessage(msg, wParam, lParam);
  }

  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Runs one handler; a failure that leaves it goes to the standard error box.
  template <class F>
  bool Guard(F&& handler) noexcept {
    try {
      handler();
      return true;
    } catch (const EAbort&) {
    } catch (...) {
      ShowException(std::current_exception());
    }
    return false;
  }
  void ShowException(std::exception_ptr failure) noexcept;
  void ShowErrorBox(const std::string& message) noexcept;

 private:
  std::optional<std::intptr_t> handleMessage(std::uint32_t msg, std::uintptr_t wParam,
                                             std::intptr_t lParam) noexcept override;
  void AddForm(std::unique_ptr<TForm> form);

  platform::DesktopRoles desktop_;
  TRandomSource random_;
  std::string title_;
  std::unique_ptr<platform::TaskbarWindow> taskbar_;
  std::vector<std::unique_ptr<TForm>> forms_;
  TForm* mainForm_ = nullptr;
  std::vector<TMessageHook*> hooks_;
  bool terminated_ = false;
};

}  // namespace zanto
