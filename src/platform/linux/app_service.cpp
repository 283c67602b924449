#include "platform/linux/app_service.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QEventLoop>
#include <QTimer>
#include <QVariantMap>
#include <cstdlib>
#include <utility>

#include "platform/codes.h"

namespace zanto::platform::linux_desktop {

namespace {

const QString kApplication = QStringLiteral("org.freedesktop.Application");
// The bus hands a process it started its call the moment the process owns the name; a
// process that waits longer than this for it was not started for a call after all.
constexpr int kFirstCallMs = 1500;
// A running Zanto answers at once; one that hangs must not hold a start up for long.
constexpr int kCallTimeoutMs = 5000;

const char* const kXml = R"xml(<interface name="org.freedesktop.Application">
<method name="Activate"><arg type="a{sv}" name="platform_data" direction="in"/></method>
<method name="Open"><arg type="as" name="uris" direction="in"/><arg type="a{sv}" name="platform_data" direction="in"/></method>
<method name="ActivateAction"><arg type="s" name="action_name" direction="in"/><arg type="av" name="parameter" direction="in"/><arg type="a{sv}" name="platform_data" direction="in"/></method>
</interface>
)xml";

QVariantMap PlatformData(const QVariant& argument) {
  return qdbus_cast<QVariantMap>(argument);
}

// What a launcher (or a second start) put into platform_data for the window to come.
void TakeTokens(const QVariantMap& data, HandOverRequest& request) {
  request.activationToken = data.value(QStringLiteral("activation-token")).toString();
  request.startupId = data.value(QStringLiteral("desktop-startup-id")).toString();
}

QVariantMap OwnTokens() {
  QVariantMap data;
  const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
  const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
  if (!token.isEmpty()) data.insert(QStringLiteral("activation-token"), token);
  if (!startupId.isEmpty()) data.insert(QStringLiteral("desktop-startup-id"), startupId);
  return data;
}

}  // namespace

std::optional<std::uintptr_t> HandOverOfAction(const QString& action) {
  if (action == QLatin1String("tell-me-more")) return handover::TellMeMore;
  if (action == QLatin1String("settings")) return handover::Settings;
  if (action == QLatin1String("about")) return handover::About;
  if (action == QLatin1String("exit")) return handover::Exit;
  return std::nullopt;
}

AppService::AppService(Deliver deliver) : deliver_(std::move(deliver)) {}

AppService::~AppService() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (owner_) bus.unregisterService(QString::fromLatin1(kAppId));
  if (exported_) bus.unregisterObject(QString::fromLatin1(kAppPath));
}

bool AppService::HandOver() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  QDBusConnectionInterface* daemon = bus.interface();
  if (!bus.isConnected() || !daemon) return false;
  const QString name = QString::fromLatin1(kAppId);
  // Exported before the name is ours: the bus delivers a waiting call as soon as it is.
  exported_ = bus.registerVirtualObject(QString::fromLatin1(kAppPath), this);
  // Twice, for a Zanto that ends between our asking for the name and our call to it.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> owned =
        daemon->registerService(name, QDBusConnectionInterface::DontQueueService,
                                QDBusConnectionInterface::DontAllowReplacement);
    if (!owned.isValid()) return false;  // the bus says no to everyone: run alone
    if (owned.value() == QDBusConnectionInterface::ServiceRegistered) {
      owner_ = true;
      return AwaitFirstCall() == First::Exit;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(name, QString::fromLatin1(kAppPath),
                                                       kApplication, QStringLiteral("Activate"));
    call << OwnTokens();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    const QString error = reply.errorName();
    if (reply.type() != QDBusMessage::ErrorMessage ||
        (error != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") &&
         error != QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")))
      return true;  // handed over; a Zanto that does not answer still is the session's one
  }
  return false;
}

AppService::First AppService::AwaitFirstCall() {
  // Only a process the bus started has a call waiting for it. The variables speak of this
  // process's own start, and go with it.
  const bool startedByBus =
      qEnvironmentVariable("DBUS_STARTER_BUS_TYPE") == QLatin1String("session");
  qunsetenv("DBUS_STARTER_BUS_TYPE");
  qunsetenv("DBUS_STARTER_ADDRESS");
  if (!startedByBus) return First::None;
  QEventLoop loop;
  QTimer::singleShot(kFirstCallMs, &loop, &QEventLoop::quit);
  awaiting_ = &loop;
  loop.exec();
  const bool called = awaiting_ == nullptr;
  awaiting_ = nullptr;
  if (!called) return First::None;
  if (!first_) return First::Start;
  if (first_->what == handover::Exit) {
    first_.reset();
    // The answer goes out before the process ends: a call after it leaves after it.
    QDBusConnection::sessionBus().interface()->isServiceRegistered(QString::fromLatin1(kAppId));
    return First::Exit;
  }
  // The command of the entry's action, once the program is there to carry it out.
  QTimer::singleShot(0, this, [this, request = *first_] { deliver_(request); });
  first_.reset();
  return First::Command;
}

bool AppService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.interface() != kApplication) return false;
  const QList<QVariant> args = message.arguments();
  const QString member = message.member();
  HandOverRequest request;
  if (member == QLatin1String("Activate") && args.size() == 1) {
    request.what = handover::Start;
    TakeTokens(PlatformData(args[0]), request);
  } else if (member == QLatin1String("Open") && args.size() == 2) {
    // There is nothing for Zanto to open: a start like any other.
    request.what = handover::Start;
    TakeTokens(PlatformData(args[1]), request);
  } else if (member == QLatin1String("ActivateAction") && args.size() == 3) {
    const std::optional<std::uintptr_t> what = HandOverOfAction(args[0].toString());
    if (!what) {
      connection.send(
          message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such action")));
      return true;
    }
    request.what = *what;
    TakeTokens(PlatformData(args[2]), request);
  } else {
    return false;
  }
  connection.send(message.createReply());
  if (awaiting_) {
    // The call that the bus started this process for: a start is this start itself.
    std::exchange(awaiting_, nullptr)->quit();
    if (request.what != handover::Start) first_ = request;
    return true;
  }
  deliver_(request);
  return true;
}

QString AppService::introspect(const QString&) const {
  return QString::fromLatin1(kXml);
}

}  // namespace zanto::platform::linux_desktop
