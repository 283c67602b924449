#include "platform/linux/xembed_icon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

namespace zanto::platform::linux_desktop {

bool XEmbedIcon::Possible() {
  return QGuiApplication::platformName() == QLatin1String("xcb");
}

XEmbedIcon::XEmbedIcon(ShellEvents& events, IconAddress address)
    : events_(events), address_(address) {
  QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_,
                   [this](QSystemTrayIcon::ActivationReason reason) { Activated(reason); });
}

XEmbedIcon::~XEmbedIcon() {
  icon_.hide();
}

void XEmbedIcon::SetIcon(const std::vector<QImage>& images) {
  QIcon icon;
  for (const QImage& image : images) icon.addPixmap(QPixmap::fromImage(image));
  icon_.setIcon(icon);
  // Shown once it has a picture: a tray manager docks an icon as soon as it is shown.
  if (!icon_.isVisible()) icon_.show();
}

void XEmbedIcon::SetTip(QString tip) {
  icon_.setToolTip(tip);
}

void XEmbedIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
  const QPoint at = QCursor::pos();
  const Point cursor{at.x(), at.y()};
  switch (reason) {
    case QSystemTrayIcon::Context:
      events_.IconInput(address_, {wm::MouseMove, wm::ContextMenu}, cursor);
      break;
    case QSystemTrayIcon::Trigger:
      events_.IconInput(address_, {wm::MouseMove, wm::LButtonDown, wm::LButtonUp}, cursor);
      break;
    case QSystemTrayIcon::DoubleClick:
      // Qt reports the first click of the two as a Trigger of its own.
      events_.IconInput(address_, {wm::MouseMove, wm::LButtonDblClk, wm::LButtonUp}, cursor);
      break;
    case QSystemTrayIcon::MiddleClick:
      events_.IconInput(address_, {wm::MouseMove, wm::MButtonDown, wm::MButtonUp}, cursor);
      break;
    case QSystemTrayIcon::Unknown:
      break;
  }
}

}  // namespace zanto::platform::linux_desktop
