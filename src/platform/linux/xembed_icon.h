// An icon in the XEmbed system tray of an X11 desktop (i3bar, tint2, lxpanel, stalonetray,
// trays of older panels): the notification area where no StatusNotifierWatcher is on the
// bus, through Qt's QSystemTrayIcon, which docks the icon with whichever tray manager owns
// the screen's tray selection, now or later, and again when the manager restarts.
//
// It reports what the user does as the Windows shell does, and shows no menu of its own:
// the program pops its menu up on the context request, as it does there. Balloons stay
// desktop notifications (see Balloons), as for every other icon.
#pragma once

#include <QSystemTrayIcon>

#include "platform/linux/shell_events.h"
#include "platform/linux/status_area.h"

namespace zanto::platform::linux_desktop {

class XEmbedIcon final : public StatusArea::Icon {
 public:
  // Whether this desktop has XEmbed trays at all: X11 does, Wayland does not.
  static bool Possible();

  XEmbedIcon(ShellEvents& events, IconAddress address);
  ~XEmbedIcon() override;
  XEmbedIcon(const XEmbedIcon&) = delete;
  XEmbedIcon& operator=(const XEmbedIcon&) = delete;

  bool Connected() const override { return true; }
  void SetIcon(const std::vector<QImage>& images) override;
  void SetTip(QString tip) override;
  void SetTitle(QString) override {}  // a tray shows no title
  void SetMenu(const std::vector<MenuItemView>&) override {}
  const IconAddress& Address() const override { return address_; }

 private:
  void Activated(QSystemTrayIcon::ActivationReason reason);

  ShellEvents& events_;
  IconAddress address_;
  QSystemTrayIcon icon_;
};

}  // namespace zanto::platform::linux_desktop
