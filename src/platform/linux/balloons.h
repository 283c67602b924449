// Balloons as desktop notifications (org.freedesktop.Notifications): one notification per
// icon at a time, replaced by the icon's next balloon and closed when the program withdraws
// the balloon or removes the icon. What the server says about it comes back to the icon as
// the balloon codes of the Windows shell (see BalloonTracker).
#pragma once

#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "platform/desktop.h"
#include "platform/linux/shell_events.h"
#include "platform/linux/tray_translation.h"

namespace zanto::platform::linux_desktop {

class Balloons final : public QObject {
  Q_OBJECT

 public:
  explicit Balloons(ShellEvents& events);
  ~Balloons() override;

  // A balloon request (NIF_INFO) of an icon: an empty text withdraws the icon's balloon,
  // as it does in the Windows shell. False when the server could not be reached.
  bool Show(const IconAddress& icon, const NotifyIconData& data, const QString& appName);
  // The icon is gone, and its balloon with it.
  void Forget(const IconAddress& icon);

 private slots:
  void OnActionInvoked(uint id, const QString& action);
  void OnClosed(uint id, uint reason);

 private:
  struct Entry {
    IconAddress icon;
    BalloonTracker tracker;
    // The balloon no server answered for: shown when one comes onto the bus, unless the
    // icon's next balloon comes first.
    std::optional<NotifyIconData> waiting;
    QString appName;
  };
  using Key = std::pair<WindowId, std::uint32_t>;

  void Close(std::uint32_t id);
  void ServerArrived();
  bool BodyMarkup();

  ShellEvents& events_;
  std::map<Key, Entry> entries_;
  std::optional<bool> bodyMarkup_;  // asked once per server
  QDBusServiceWatcher server_;
};

}  // namespace zanto::platform::linux_desktop
