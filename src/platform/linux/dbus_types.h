// The structured D-Bus values of the StatusNotifierItem and dbusmenu interfaces, with their
// marshalling, so that QtDBus sends them with the signatures hosts expect.
#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace zanto::platform::linux_desktop {

// (iiay): an image as ARGB32 pixels in network byte order.
struct DBusImage {
  int width = 0;
  int height = 0;
  QByteArray argb;
};
using DBusImageList = QList<DBusImage>;

// (sa(iiay)ss): icon name, icon images, title, description.
struct DBusToolTip {
  QString iconName;
  DBusImageList images;
  QString title;
  QString text;
};

// (ia{sv}av): a menu item with its properties and, as variants, its children.
struct DBusMenuLayout {
  int id = 0;
  QVariantMap properties;
  QList<DBusMenuLayout> children;
};

// (ia{sv}): a menu item's properties.
struct DBusMenuItem {
  int id = 0;
  QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// (ias): the properties an item lost.
struct DBusMenuItemKeys {
  int id = 0;
  QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// Registers the types with QtDBus; call once before any of them crosses the bus.
void RegisterDBusTypes();

QDBusArgument& operator<<(QDBusArgument& arg, const DBusImage& image);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusImage& image);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayout& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayout& item);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItemKeys& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItemKeys& item);

}  // namespace zanto::platform::linux_desktop

Q_DECLARE_METATYPE(zanto::platform::linux_desktop::DBusImage)
Q_DECLARE_METATYPE(zanto::platform::linux_desktop::DBusToolTip)
Q_DECLARE_METATYPE(zanto::platform::linux_desktop::DBusMenuLayout)
Q_DECLARE_METATYPE(zanto::platform::linux_desktop::DBusMenuItem)
Q_DECLARE_METATYPE(zanto::platform::linux_desktop::DBusMenuItemKeys)
