#!/usr/bin/env bash
# Starts the native zanto of a build on this Linux desktop: when a desktop session is
# there (a session bus, a display) and its notification area speaks StatusNotifierItem (a
# StatusNotifierWatcher on the bus: KDE Plasma, XFCE, LXQt, GNOME with its AppIndicator
# extension, ...). Otherwise it exits with 3, so that the caller can fall back to Wine.
# usage: e2e/linux/run-zanto.sh BUILD_DIR   (a build with -DZANTO_LINUX_DESKTOP=ON)
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
zanto="$(cd "$1" && pwd)/zanto"
if [ ! -x "$zanto" ]; then
  echo "$zanto is missing: configure with -DZANTO_LINUX_DESKTOP=ON and build it" >&2
  exit 2
fi
no_desktop() {
  echo "no Linux desktop session here ($1)" >&2
  exit 3
}
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || no_desktop "no session bus"
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || no_desktop "no display"
command -v dbus-send >/dev/null || no_desktop "no dbus-send to ask the bus"
has_watcher="$(timeout 5 dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus \
  /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
  string:org.kde.StatusNotifierWatcher 2>/dev/null || true)"
case "$has_watcher" in
  *true*) ;;
  *) no_desktop "no StatusNotifierWatcher: the notification area does not show such icons" ;;
esac
echo "starting $zanto (its icon is in the notification area; Exit from its menu ends it)"
exec "$zanto"
