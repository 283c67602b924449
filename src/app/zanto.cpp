#include "app/zanto.h"

#include "app/settings_form.h"
#include "toolkit/application.h"

namespace zanto {

int RunZanto(platform::DesktopRoles desktop, const std::function<void(TfrmSettings&)>& started) {
  // Before anything is shown or read: a second Zanto would add a second icon and quote.
  if (desktop.windows.handOverToRunning()) return 0;
  TApplication app(desktop);
  app.Initialize();
  app.SetTitle("Zanto");
  TfrmSettings& form = app.CreateForm<TfrmSettings>();
  // The window is still hidden: the show state only decides how it comes up later.
  switch (desktop.clock.startupShowCommand()) {
    case platform::sw::ShowMaximized:
      form.SetWindowState(platform::WindowState::Maximized);
      break;
    case platform::sw::ShowMinNoActive:
      form.SetWindowState(platform::WindowState::Minimized);
      break;
    default:
      break;
  }
  if (started) started(form);
  app.Run();
  app.DestroyForms();
  return 0;
}

}  // namespace zanto
