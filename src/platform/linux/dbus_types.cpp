#include "platform/linux/dbus_types.h"

#include <QDBusMetaType>
#include <QDBusVariant>

namespace zanto::platform::linux_desktop {

void RegisterDBusTypes() {
  qDBusRegisterMetaType<DBusImage>();
  qDBusRegisterMetaType<DBusImageList>();
  qDBusRegisterMetaType<DBusToolTip>();
  qDBusRegisterMetaType<DBusMenuLayout>();
  qDBusRegisterMetaType<DBusMenuItem>();
  qDBusRegisterMetaType<DBusMenuItemList>();
  qDBusRegisterMetaType<DBusMenuItemKeys>();
  qDBusRegisterMetaType<DBusMenuItemKeysList>();
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusImage& image) {
  arg.beginStructure();
  arg << image.width << image.height << image.argb;
  arg.endStructure();
  return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusImage& image) {
  arg.beginStructure();
  arg >> image.width >> image.height >> image.argb;
  arg.endStructure();
  return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusToolTip& tip) {
  arg.beginStructure();
  arg << tip.iconName << tip.images << tip.title << tip.text;
  arg.endStructure();
  return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusToolTip& tip) {
  arg.beginStructure();
  arg >> tip.iconName >> tip.images >> tip.title >> tip.text;
  arg.endStructure();
  return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayout& item) {
  arg.beginStructure();
  arg << item.id << item.properties;
  // The children travel as variants, each holding a layout of its own.
  arg.beginArray(QMetaType::fromType<QDBusVariant>());
  for (const DBusMenuLayout& child : item.children) arg << QDBusVariant(QVariant::fromValue(child));
  arg.endArray();
  arg.endStructure();
  return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayout& item) {
  arg.beginStructure();
  arg >> item.id >> item.properties;
  item.children.clear();
  arg.beginArray();
  while (!arg.atEnd()) {
    QDBusVariant child;
    arg >> child;
    item.children.push_back(qdbus_cast<DBusMenuLayout>(child.variant()));
  }
  arg.endArray();
  arg.endStructure();
  return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItem& item) {
  arg.beginStructure();
  arg << item.id << item.properties;
  arg.endStructure();
  return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItem& item) {
  arg.beginStructure();
  arg >> item.id >> item.properties;
  arg.endStructure();
  return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItemKeys& item) {
  arg.beginStructure();
  arg << item.id << item.names;
  arg.endStructure();
  return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItemKeys& item) {
  arg.beginStructure();
  arg >> item.id >> item.names;
  arg.endStructure();
  return arg;
}

}  // namespace zanto::platform::linux_desktop
