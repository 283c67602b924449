#include "platform/linux/status_area.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QIcon>
#include <QTimer>
#include <QtEndian>
#include <algorithm>

#include "platform/linux/app_service.h"
#include "platform/linux/balloons.h"
#include "platform/linux/dbus_types.h"
#include "platform/linux/text_conversion.h"
#include "platform/linux/tray_translation.h"
#include "platform/linux/xembed_icon.h"

namespace zanto::platform::linux_desktop {

namespace {

QString ThemeIconName() {
  const QString name = QString::fromLatin1(kAppId);
  return QIcon::hasThemeIcon(name) ? name : QString();
}

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// A watcher may own its name a moment before its object answers: registration is tried
// again for a while, then left to the next "TaskbarCreated".
constexpr int kRegisterAttempts = 40;
constexpr int kRegisterRetryMs = 250;

const char* const kItemXml = R"xml(<interface name="org.kde.StatusNotifierItem">
<property name="Category" type="s" access="read"/>
<property name="Id" type="s" access="read"/>
<property name="Title" type="s" access="read"/>
<property name="Status" type="s" access="read"/>
<property name="WindowId" type="i" access="read"/>
<property name="IconName" type="s" access="read"/>
<property name="IconThemePath" type="s" access="read"/>
<property name="IconPixmap" type="a(iiay)" access="read"/>
<property name="OverlayIconName" type="s" access="read"/>
<property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
<property name="AttentionIconName" type="s" access="read"/>
<property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
<property name="AttentionMovieName" type="s" access="read"/>
<property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
<property name="ItemIsMenu" type="b" access="read"/>
<property name="Menu" type="o" access="read"/>
<method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
<method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
<method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
<method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
<signal name="NewTitle"/>
<signal name="NewIcon"/>
<signal name="NewAttentionIcon"/>
<signal name="NewOverlayIcon"/>
<signal name="NewToolTip"/>
<signal name="NewStatus"><arg name="status" type="s"/></signal>
</interface>
)xml";

const char* const kMenuXml = R"xml(<interface name="com.canonical.dbusmenu">
<property name="Version" type="u" access="read"/>
<property name="TextDirection" type="s" access="read"/>
<property name="Status" type="s" access="read"/>
<property name="IconThemePath" type="as" access="read"/>
<method name="GetLayout"><arg type="i" name="parentId" direction="in"/><arg type="i" name="recursionDepth" direction="in"/><arg type="as" name="propertyNames" direction="in"/><arg type="u" name="revision" direction="out"/><arg type="(ia{sv}av)" name="layout" direction="out"/></method>
<method name="GetGroupProperties"><arg type="ai" name="ids" direction="in"/><arg type="as" name="propertyNames" direction="in"/><arg type="a(ia{sv})" name="properties" direction="out"/></method>
<method name="GetProperty"><arg type="i" name="id" direction="in"/><arg type="s" name="name" direction="in"/><arg type="v" name="value" direction="out"/></method>
<method name="Event"><arg type="i" name="id" direction="in"/><arg type="s" name="eventId" direction="in"/><arg type="v" name="data" direction="in"/><arg type="u" name="timestamp" direction="in"/></method>
<method name="EventGroup"><arg type="a(isvu)" name="events" direction="in"/><arg type="ai" name="idErrors" direction="out"/></method>
<method name="AboutToShow"><arg type="i" name="id" direction="in"/><arg type="b" name="needUpdate" direction="out"/></method>
<method name="AboutToShowGroup"><arg type="ai" name="ids" direction="in"/><arg type="ai" name="updatesNeeded" direction="out"/><arg type="ai" name="idErrors" direction="out"/></method>
<signal name="ItemsPropertiesUpdated"><arg type="a(ia{sv})" name="updatedProps"/><arg type="a(ias)" name="removedProps"/></signal>
<signal name="LayoutUpdated"><arg type="u" name="revision"/><arg type="i" name="parent"/></signal>
<signal name="ItemActivationRequested"><arg type="i" name="id"/><arg type="u" name="timestamp"/></signal>
</interface>
)xml";

// The tip as the record holds it: the short record's has room for 63 characters.
QString TipText(const NotifyIconData& data) {
  const Text tip = data.szTip.view();
  return ToQString(data.longRecord() ? tip : Text{FieldPrefix(tip, 63), tip.encoding});
}

DBusImageList ToDBus(const std::vector<QImage>& images) {
  DBusImageList list;
  for (const QImage& image : images) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    DBusImage out;
    out.width = argb.width();
    out.height = argb.height();
    out.argb.resize(static_cast<qsizetype>(argb.width()) * argb.height() * 4);
    // Network byte order, whatever this machine's is.
    auto* dst = reinterpret_cast<uchar*>(out.argb.data());
    for (int y = 0; y < argb.height(); ++y) {
      const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
      for (int x = 0; x < argb.width(); ++x, dst += 4) qToBigEndian<quint32>(row[x], dst);
    }
    list.push_back(std::move(out));
  }
  return list;
}

// One D-Bus object whose messages go to a function.
class Endpoint final : public QDBusVirtualObject {
 public:
  using Handler = std::function<bool(const QDBusMessage&, const QDBusConnection&)>;
  Endpoint(Handler handler, const char* xml) : handler_(std::move(handler)), xml_(xml) {}
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    return handler_(message, connection);
  }
  QString introspect(const QString&) const override { return QString::fromLatin1(xml_); }

 private:
  Handler handler_;
  const char* xml_;
};

// org.freedesktop.DBus.Properties over a map of one interface's properties.
bool AnswerProperties(const QDBusMessage& message, const QDBusConnection& connection,
                      const QString& interface, const QVariantMap& properties) {
  const QList<QVariant> args = message.arguments();
  const QString member = message.member();
  if (member == QLatin1String("GetAll")) {
    if (args.size() < 1) return false;
    const QVariantMap answer = args[0].toString() == interface || args[0].toString().isEmpty()
                                   ? properties
                                   : QVariantMap{};
    connection.send(message.createReply(QVariant::fromValue(answer)));
    return true;
  }
  if (member == QLatin1String("Get")) {
    if (args.size() < 2) return false;
    const auto it = properties.find(args[1].toString());
    if (args[0].toString() != interface || it == properties.end()) {
      connection.send(
          message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such property")));
      return true;
    }
    connection.send(message.createReply(QVariant::fromValue(QDBusVariant(it.value()))));
    return true;
  }
  if (member == QLatin1String("Set")) {
    connection.send(message.createErrorReply(QDBusError::PropertyReadOnly,
                                             QStringLiteral("Read-only property")));
    return true;
  }
  return false;
}

Point At(const QDBusMessage& message) {
  const QList<QVariant> args = message.arguments();
  if (args.size() < 2) return {};
  return {args[0].toInt(), args[1].toInt()};
}

}  // namespace

// ---------------------------------------------------------------------------------------
// One icon: a StatusNotifierItem with its menu, on a bus connection of its own.

class StatusArea::Item final : public StatusArea::Icon {
 public:
  Item(ShellEvents& events, IconAddress address, std::uint32_t serial);
  ~Item() override;
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;

  bool Connected() const override { return connected_; }
  void SetIcon(const std::vector<QImage>& images) override;
  void SetTip(QString tip) override;
  void SetTitle(QString title) override;
  void SetMenu(const std::vector<MenuItemView>& items) override;
  const IconAddress& Address() const override { return address_; }

 private:
  bool HandleItem(const QDBusMessage& message, const QDBusConnection& connection);
  bool HandleMenu(const QDBusMessage& message, const QDBusConnection& connection);
  QVariantMap ItemProperties() const;
  DBusMenuLayout Layout(int parent, int depth) const;
  QVariantMap ItemMenuProperties(const MenuItemView& item) const;
  const MenuItemView* FindItem(int id) const;
  void Signal(const QString& path, const QString& interface, const QString& name,
              const QVariantList& args = {});
  void Register();
  void Input(std::vector<std::uint32_t> codes, std::optional<Point> at);

  ShellEvents& events_;
  IconAddress address_;
  QString connectionName_;
  QString serviceName_;
  QDBusConnection connection_;
  bool connected_ = false;
  Endpoint item_;
  Endpoint menu_;
  QTimer retry_;
  int attempts_ = 0;
  std::unique_ptr<QDBusPendingCallWatcher> pending_;

  DBusImageList icon_;
  QString tip_;
  QString title_;
  std::vector<MenuItemView> menuItems_;
  uint revision_ = 1;
};

StatusArea::Item::Item(ShellEvents& events, IconAddress address, std::uint32_t serial)
    : events_(events),
      address_(address),
      connectionName_(QStringLiteral("zanto-icon-%1").arg(serial)),
      serviceName_(QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(::getpid()).arg(serial)),
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)),
      item_([this](const QDBusMessage& m, const QDBusConnection& c) { return HandleItem(m, c); },
            kItemXml),
      menu_([this](const QDBusMessage& m, const QDBusConnection& c) { return HandleMenu(m, c); },
            kMenuXml) {
  retry_.setSingleShot(true);
  retry_.setInterval(kRegisterRetryMs);
  QObject::connect(&retry_, &QTimer::timeout, &retry_, [this] { Register(); });
  connected_ = connection_.isConnected() && connection_.registerVirtualObject(kItemPath, &item_) &&
               connection_.registerVirtualObject(kMenuPath, &menu_) &&
               connection_.registerService(serviceName_);
  if (connected_) Register();
}

StatusArea::Item::~Item() {
  retry_.stop();
  pending_.reset();
  connection_.unregisterObject(kMenuPath);
  connection_.unregisterObject(kItemPath);
  // Leaving the bus is what tells the watcher and the hosts that the icon is gone.
  QDBusConnection::disconnectFromBus(connectionName_);
}

void StatusArea::Item::Register() {
  ++attempts_;
  QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                                     QStringLiteral("RegisterStatusNotifierItem"));
  call << serviceName_;
  pending_ = std::make_unique<QDBusPendingCallWatcher>(connection_.asyncCall(call));
  QObject::connect(pending_.get(), &QDBusPendingCallWatcher::finished, pending_.get(),
                   [this](QDBusPendingCallWatcher* done) {
                     if (done->isError() && attempts_ < kRegisterAttempts) retry_.start();
                   });
}

void StatusArea::Item::Signal(const QString& path, const QString& interface, const QString& name,
                              const QVariantList& args) {
  QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
  signal.setArguments(args);
  connection_.send(signal);
}

void StatusArea::Item::SetIcon(const std::vector<QImage>& images) {
  icon_ = ToDBus(images);
  Signal(kItemPath, kItemInterface, QStringLiteral("NewIcon"));
}

void StatusArea::Item::SetTip(QString tip) {
  if (tip == tip_) return;
  tip_ = std::move(tip);
  Signal(kItemPath, kItemInterface, QStringLiteral("NewToolTip"));
}

void StatusArea::Item::SetTitle(QString title) {
  if (title == title_) return;
  title_ = std::move(title);
  Signal(kItemPath, kItemInterface, QStringLiteral("NewTitle"));
}

void StatusArea::Item::SetMenu(const std::vector<MenuItemView>& items) {
  auto same = [](const MenuItemView& a, const MenuItemView& b) {
    return a.command == b.command && a.caption == b.caption && a.isDefault == b.isDefault;
  };
  if (std::equal(items.begin(), items.end(), menuItems_.begin(), menuItems_.end(), same)) return;
  menuItems_ = items;
  ++revision_;
  Signal(kMenuPath, kMenuInterface, QStringLiteral("LayoutUpdated"),
         {QVariant::fromValue(revision_), QVariant::fromValue(0)});
}

void StatusArea::Item::Input(std::vector<std::uint32_t> codes, std::optional<Point> at) {
  events_.IconInput(address_, std::move(codes), at);
}

QVariantMap StatusArea::Item::ItemProperties() const {
  DBusToolTip tip;
  tip.title = tip_;
  return {
      {QStringLiteral("Category"), QStringLiteral("ApplicationStatus")},
      {QStringLiteral("Id"), QCoreApplication::applicationName()},
      {QStringLiteral("Title"), title_},
      {QStringLiteral("Status"), QStringLiteral("Active")},
      {QStringLiteral("WindowId"), 0},
      // The theme's icon, at whatever size the host draws, where the program is installed;
      // the pixmaps for a program run from its build folder.
      {QStringLiteral("IconName"), ThemeIconName()},
      {QStringLiteral("IconThemePath"), QString()},
      {QStringLiteral("IconPixmap"), QVariant::fromValue(icon_)},
      {QStringLiteral("OverlayIconName"), QString()},
      {QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(DBusImageList{})},
      {QStringLiteral("AttentionIconName"), QString()},
      {QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(DBusImageList{})},
      {QStringLiteral("AttentionMovieName"), QString()},
      {QStringLiteral("ToolTip"), QVariant::fromValue(tip)},
      {QStringLiteral("ItemIsMenu"), false},
      {QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(kMenuPath))},
  };
}

bool StatusArea::Item::HandleItem(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.interface() == kProperties)
    return AnswerProperties(message, connection, kItemInterface, ItemProperties());
  const QString member = message.member();
  // The host does not wait for what the program makes of its request.
  auto done = [&] {
    connection.send(message.createReply());
    return true;
  };
  if (member == QLatin1String("Activate")) {
    // The primary action, a left click where the host has one.
    Input({wm::MouseMove, wm::LButtonDown, wm::LButtonUp}, At(message));
    return done();
  }
  if (member == QLatin1String("SecondaryActivate")) {
    Input({wm::MouseMove, wm::MButtonDown, wm::MButtonUp}, At(message));
    return done();
  }
  if (member == QLatin1String("ContextMenu")) {
    // A host that leaves the menu to the program.
    Input({wm::MouseMove, wm::ContextMenu}, At(message));
    return done();
  }
  if (member == QLatin1String("Scroll")) {
    // The wheel over the icon: the icon knows the pointer is there, nothing more.
    Input({wm::MouseMove}, std::nullopt);
    return done();
  }
  if (member == QLatin1String("ProvideXdgActivationToken")) return done();
  return false;
}

QVariantMap StatusArea::Item::ItemMenuProperties(const MenuItemView& item) const {
  if (item.caption == "-") return {{QStringLiteral("type"), QStringLiteral("separator")}};
  QVariantMap properties{
      {QStringLiteral("label"), ProgramText(MenuLabel(item.caption))},
      {QStringLiteral("enabled"), true},
      {QStringLiteral("visible"), true},
  };
  return properties;
}

const MenuItemView* StatusArea::Item::FindItem(int id) const {
  for (const MenuItemView& item : menuItems_)
    if (item.command == id) return &item;
  return nullptr;
}

DBusMenuLayout StatusArea::Item::Layout(int parent, int depth) const {
  DBusMenuLayout layout;
  if (parent != 0) {
    if (const MenuItemView* item = FindItem(parent)) {
      layout.id = parent;
      layout.properties = ItemMenuProperties(*item);
    }
    return layout;
  }
  layout.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
  if (depth == 0) return layout;
  for (const MenuItemView& item : menuItems_) {
    DBusMenuLayout child;
    child.id = item.command;
    child.properties = ItemMenuProperties(item);
    layout.children.push_back(std::move(child));
  }
  return layout;
}

bool StatusArea::Item::HandleMenu(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.interface() == kProperties) {
    return AnswerProperties(message, connection, kMenuInterface,
                            {{QStringLiteral("Version"), QVariant::fromValue(3u)},
                             {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
                             {QStringLiteral("Status"), QStringLiteral("normal")},
                             {QStringLiteral("IconThemePath"), QStringList{}}});
  }
  const QString member = message.member();
  const QList<QVariant> args = message.arguments();
  if (member == QLatin1String("GetLayout") && args.size() >= 2) {
    QDBusMessage reply = message.createReply();
    reply << QVariant::fromValue(revision_)
          << QVariant::fromValue(Layout(args[0].toInt(), args[1].toInt()));
    connection.send(reply);
    return true;
  }
  if (member == QLatin1String("GetGroupProperties") && !args.isEmpty()) {
    const QList<int> ids = qdbus_cast<QList<int>>(args[0]);
    DBusMenuItemList answer;
    if (ids.contains(0) || ids.isEmpty()) answer.push_back({0, Layout(0, 0).properties});
    for (const MenuItemView& item : menuItems_)
      if (ids.isEmpty() || ids.contains(item.command))
        answer.push_back({item.command, ItemMenuProperties(item)});
    connection.send(message.createReply(QVariant::fromValue(answer)));
    return true;
  }
  if (member == QLatin1String("GetProperty") && args.size() >= 2) {
    const int id = args[0].toInt();
    const QVariantMap properties =
        id == 0 ? Layout(0, 0).properties
                : (FindItem(id) ? ItemMenuProperties(*FindItem(id)) : QVariantMap{});
    const auto it = properties.find(args[1].toString());
    if (it == properties.end()) {
      connection.send(
          message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such property")));
    } else {
      connection.send(message.createReply(QVariant::fromValue(QDBusVariant(it.value()))));
    }
    return true;
  }
  auto event = [this](int id, const QString& eventId) {
    if (eventId != QLatin1String("clicked")) return FindItem(id) != nullptr || id == 0;
    const MenuItemView* item = FindItem(id);
    if (!item || item->caption == "-") return false;
    events_.IconMenuChosen(address_, item->command);
    return true;
  };
  if (member == QLatin1String("Event") && args.size() >= 2) {
    event(args[0].toInt(), args[1].toString());
    connection.send(message.createReply());
    return true;
  }
  if (member == QLatin1String("EventGroup") && !args.isEmpty()) {
    QList<int> errors;
    const QDBusArgument list = args[0].value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
      int id = 0;
      QString eventId;
      QDBusVariant data;
      uint timestamp = 0;
      list.beginStructure();
      list >> id >> eventId >> data >> timestamp;
      list.endStructure();
      if (!event(id, eventId)) errors.push_back(id);
    }
    list.endArray();
    connection.send(message.createReply(QVariant::fromValue(errors)));
    return true;
  }
  // The host is about to show the menu: the program's menu as it is now.
  auto refresh = [this] {
    const uint before = revision_;
    events_.IconMenuWanted(address_);
    return revision_ != before;
  };
  if (member == QLatin1String("AboutToShow") && !args.isEmpty()) {
    const bool changed = args[0].toInt() == 0 && refresh();
    connection.send(message.createReply(QVariant::fromValue(changed)));
    return true;
  }
  if (member == QLatin1String("AboutToShowGroup") && !args.isEmpty()) {
    const QList<int> ids = qdbus_cast<QList<int>>(args[0]);
    QList<int> updates;
    if (ids.contains(0) && refresh()) updates.push_back(0);
    QDBusMessage reply = message.createReply();
    reply << QVariant::fromValue(updates) << QVariant::fromValue(QList<int>{});
    connection.send(reply);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------

StatusArea::StatusArea(ShellEvents& events, IconImages images)
    : events_(events),
      images_(std::move(images)),
      balloons_(std::make_unique<Balloons>(events)),
      watcher_(kWatcherService, QDBusConnection::sessionBus(),
               QDBusServiceWatcher::WatchForOwnerChange) {
  RegisterDBusTypes();
  // A watcher that comes (back) knows no icon: the shell restarted. One that goes leaves the
  // icons nowhere, or in the XEmbed tray: a new notification area too.
  QObject::connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, &watcher_,
                   [this] { events_.ShellRestarted(); });
}

StatusArea::~StatusArea() = default;

void StatusArea::SetTitle(const std::string& title) {
  title_ = ProgramText(title);
  for (auto& [key, item] : items_) item->SetTitle(title_);
}

bool StatusArea::Request(std::uint32_t message, const NotifyIconData& data) {
  const Key key{data.hWnd, data.uID};
  auto it = items_.find(key);
  const bool longRecord = data.longRecord();
  switch (message) {
    case nim::Add: {
      if (it != items_.end()) return false;
      const IconAddress address{data.hWnd, data.uID, data.uCallbackMessage};
      std::unique_ptr<Icon> item = NewIcon(address);
      if (!item->Connected()) return false;
      item->SetTitle(title_);
      if (data.uFlags & nif::Icon) item->SetIcon(images_(data.hIcon));
      if (data.uFlags & nif::Tip) item->SetTip(TipText(data));
      items_.emplace(key, std::move(item));
      // The host reads the menu as soon as it sees the icon: learn it before then.
      QTimer::singleShot(0, &watcher_, [this, key] {
        if (auto found = items_.find(key); found != items_.end())
          events_.IconMenuWanted(found->second->Address());
      });
      return true;
    }
    case nim::Modify: {
      if (it == items_.end()) return false;
      Icon& item = *it->second;
      if (data.uFlags & nif::Icon) item.SetIcon(images_(data.hIcon));
      if (data.uFlags & nif::Tip) item.SetTip(TipText(data));
      bool ok = true;
      if ((data.uFlags & nif::Info) && longRecord)
        ok = balloons_->Show(item.Address(), data, title_);
      return ok;
    }
    case nim::Delete:
      if (it == items_.end()) return false;
      // The Windows shell loses the balloon with the icon when it restarts; a notification
      // server here has nothing to do with the tray and keeps showing it.
      if (reregistering_)
        kept_.push_back(it->second->Address());
      else
        balloons_->Forget(it->second->Address());
      items_.erase(it);
      return true;
    case nim::SetVersion:
      // Every version-3 behaviour is what this notification area does anyway.
      return it != items_.end() && longRecord;
  }
  return false;
}

std::unique_ptr<StatusArea::Icon> StatusArea::NewIcon(const IconAddress& address) {
  const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  const bool watched = bus && bus->isServiceRegistered(kWatcherService).value();
  if (!watched && XEmbedIcon::Possible()) return std::make_unique<XEmbedIcon>(events_, address);
  return std::make_unique<Item>(events_, address, nextItem_++);
}

void StatusArea::Reregister(const std::function<void()>& reAdd) {
  reregistering_ = true;
  reAdd();
  reregistering_ = false;
  // What the program did not put back takes its balloon along after all.
  for (const IconAddress& address : kept_)
    if (!items_.contains({address.window, address.id})) balloons_->Forget(address);
  kept_.clear();
}

void StatusArea::MenuSeen(WindowId owner, const std::vector<MenuItemView>& items) {
  for (auto& [key, item] : items_)
    if (key.first == owner) item->SetMenu(items);
}

}  // namespace zanto::platform::linux_desktop
