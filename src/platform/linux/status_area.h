// The notification area of a freedesktop desktop, spoken over D-Bus.
//
// Each icon is an org.kde.StatusNotifierItem of the program's own, registered with the
// org.kde.StatusNotifierWatcher, with its menu exported as com.canonical.dbusmenu; balloons
// are notifications of org.freedesktop.Notifications. Every icon has a bus connection of
// its own: the hosts learn of a removed icon when its connection leaves the bus, which is
// also what they see when the program ends for any reason.
//
// The host, not the program, shows the icon's menu, from a copy it reads when the icon
// appears and refreshes when it opens the menu. The program says what its menu holds only
// when it pops it up, so the desktop asks for it as the Windows shell would on a right
// click (a context request) and keeps what the pop-up call showed; when the user picks an
// item in the host's menu, the program gets a context request whose pop-up call answers
// with that item (see LinuxDesktop::trackPopupMenu).
//
// Where no watcher is on the bus of an X11 desktop, an icon goes into the older XEmbed tray
// instead (see XEmbedIcon); a watcher that comes or goes is a new notification area, and the
// program puts its icon back where it now belongs.
#pragma once

#include <QDBusServiceWatcher>
#include <QImage>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/linux/shell_events.h"

namespace zanto::platform::linux_desktop {

class Balloons;

class StatusArea {
 public:
  // `images` gives the pictures of an icon, in every size there is.
  using IconImages = std::function<std::vector<QImage>(IconId)>;
  StatusArea(ShellEvents& events, IconImages images);
  ~StatusArea();
  StatusArea(const StatusArea&) = delete;
  StatusArea& operator=(const StatusArea&) = delete;

  // Shell_NotifyIcon. False when the request is refused: an icon that is already there is
  // added, or one that is not there is changed or removed, or the bus cannot be reached.
  bool Request(std::uint32_t message, const NotifyIconData& data);
  // The items of a menu the program popped up for the icons of this window.
  void MenuSeen(WindowId owner, const std::vector<MenuItemView>& items);
  // The application's title, which names its icons and balloons.
  void SetTitle(const std::string& title);
  // Runs `reAdd`, the program putting its icons back in a new notification area: a balloon
  // on screen stays there for the icon that takes the place of the one removed.
  void Reregister(const std::function<void()>& reAdd);

  // One icon as a notification area shows it.
  class Icon {
   public:
    virtual ~Icon() = default;
    virtual bool Connected() const = 0;
    virtual void SetIcon(const std::vector<QImage>& images) = 0;
    virtual void SetTip(QString tip) = 0;
    virtual void SetTitle(QString title) = 0;
    virtual void SetMenu(const std::vector<MenuItemView>& items) = 0;
    virtual const IconAddress& Address() const = 0;
  };
  class Item;

 private:
  using Key = std::pair<WindowId, std::uint32_t>;

  std::unique_ptr<Icon> NewIcon(const IconAddress& address);

  ShellEvents& events_;
  IconImages images_;
  QString title_;
  std::map<Key, std::unique_ptr<Icon>> items_;
  std::unique_ptr<Balloons> balloons_;
  QDBusServiceWatcher watcher_;
  std::uint32_t nextItem_ = 1;
  bool reregistering_ = false;
  std::vector<IconAddress> kept_;  // removed while reregistering, their balloons kept
};

}  // namespace zanto::platform::linux_desktop
