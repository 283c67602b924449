#include "platform/linux/balloons.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
#include <vector>

#include "platform/linux/app_service.h"
#include "platform/linux/text_conversion.h"

namespace zanto::platform::linux_desktop {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The server answers at once; one that hangs must not hold the program up for long.
constexpr int kCallTimeoutMs = 2000;

QString Text(const RecordText& field) {
  return ToQString(field.view());
}

}  // namespace

Balloons::Balloons(ShellEvents& events)
    : events_(events),
      server_(kService, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForOwnerChange) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  // Servers may send these to the notification's sender only; both ways arrive here.
  bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
              SLOT(OnActionInvoked(uint, QString)));
  bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
              SLOT(OnClosed(uint, uint)));
  // A new server knows none of the old one's notifications.
  connect(&server_, &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) {
            bodyMarkup_.reset();
            for (auto& [key, entry] : entries_) entry.tracker.Reset();
            if (!newOwner.isEmpty()) ServerArrived();
          });
}

Balloons::~Balloons() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.disconnect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
  bus.disconnect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(OnClosed(uint, uint)));
}

bool Balloons::BodyMarkup() {
  if (!bodyMarkup_) {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                       QStringLiteral("GetCapabilities")),
        QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return true;
    bodyMarkup_ = reply.arguments().front().toStringList().contains(QStringLiteral("body-markup"));
  }
  return *bodyMarkup_;
}

bool Balloons::Show(const IconAddress& icon, const NotifyIconData& data, const QString& appName) {
  Entry& entry = entries_[{icon.window, icon.id}];
  entry.icon = icon;
  entry.waiting.reset();  // this balloon takes the place of one still waiting for a server
  const QString text = Text(data.szInfo);
  if (text.isEmpty()) {
    if (const auto id = entry.tracker.Withdraw()) Close(*id);
    return true;
  }
  QString body = text;
  if (BodyMarkup()) body = QString::fromStdString(EscapeMarkup(text.toStdString()));
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(1)));
  hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kAppId));
  // The "default" action is what a click on the notification invokes: without it a click
  // could not be told from a dismissal.
  const QStringList actions{QStringLiteral("default"), QStringLiteral("Show")};
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << appName << static_cast<uint>(entry.tracker.ReplacesId())
       << QString::fromUtf8(BalloonIconName(data.dwInfoFlags).data(),
                            static_cast<qsizetype>(BalloonIconName(data.dwInfoFlags).size()))
       << Text(data.szInfoTitle) << body << actions << hints << static_cast<int>(data.uTimeout);
  // Waited for, so that the next balloon knows which notification it replaces.
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    entry.tracker.Reset();
    // At logon the server may not be up yet: the quote waits for it.
    entry.waiting = data;
    entry.appName = appName;
    return false;
  }
  entry.tracker.Shown(reply.arguments().front().toUInt());
  return true;
}

void Balloons::ServerArrived() {
  std::vector<Key> waiting;
  for (const auto& [key, entry] : entries_)
    if (entry.waiting) waiting.push_back(key);
  for (const Key& key : waiting) {
    const auto it = entries_.find(key);
    if (it == entries_.end() || !it->second.waiting) continue;
    const NotifyIconData data = std::move(*it->second.waiting);
    const IconAddress icon = it->second.icon;
    const QString appName = it->second.appName;
    it->second.waiting.reset();
    Show(icon, data, appName);
  }
}

void Balloons::Forget(const IconAddress& icon) {
  auto it = entries_.find({icon.window, icon.id});
  if (it == entries_.end()) return;
  if (const auto id = it->second.tracker.Withdraw()) Close(*id);
  entries_.erase(it);
}

void Balloons::Close(std::uint32_t id) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                     QStringLiteral("CloseNotification"));
  call << static_cast<uint>(id);
  QDBusConnection::sessionBus().send(call);
}

void Balloons::OnActionInvoked(uint id, const QString& action) {
  for (auto& [key, entry] : entries_)
    if (const auto code = entry.tracker.ActionInvoked(id, action.toStdString())) {
      events_.IconInput(entry.icon, {*code}, std::nullopt);
      return;
    }
}

void Balloons::OnClosed(uint id, uint reason) {
  for (auto& [key, entry] : entries_)
    if (const auto code = entry.tracker.Closed(id, reason)) {
      events_.IconInput(entry.icon, {*code}, std::nullopt);
      return;
    }
}

}  // namespace zanto::platform::linux_desktop
