// zanto for Linux desktops: the program over Qt 6 Widgets and the desktop's D-Bus services.
#include <QApplication>
#include <QByteArray>
#include <QIcon>

#include "app/zanto.h"
#include "platform/linux/app_service.h"
#include "platform/linux/linux_desktop.h"
#include "platform/linux/session.h"

int main(int argc, char** argv) {
  using zanto::platform::linux_desktop::LinuxDesktop;
  using zanto::platform::linux_desktop::Session;
  // Before Qt starts a thread of its own, so that no thread takes the signals instead.
  const sigset_t blocked = Session::BlockSignals();
  // Qt takes what the launcher gave for the first window it maps (the startup id, the
  // activation token) away at its start; a start that hands over to the running Zanto
  // passes them on instead (see AppService).
  const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
  const QByteArray activationToken = qgetenv("XDG_ACTIVATION_TOKEN");
  QApplication app(argc, argv);
  if (!startupId.isEmpty()) qputenv("DESKTOP_STARTUP_ID", startupId);
  if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken);
  QApplication::setApplicationName(QStringLiteral("zanto"));
  // The desktop entry, by which a Wayland compositor and the notification server know us.
  QApplication::setDesktopFileName(QString::fromLatin1(zanto::platform::linux_desktop::kAppId));
  // A tray program lives on with no window open.
  QApplication::setQuitOnLastWindowClosed(false);
  QIcon icon;
  for (const char* file : {":/zanto/zanto-16.png", ":/zanto/zanto-32.png", ":/zanto/zanto-64.png"})
    icon.addFile(QString::fromLatin1(file));
  QApplication::setWindowIcon(icon);
  LinuxDesktop desktop(blocked);
  return zanto::RunZanto(desktop);
}
