#!/usr/bin/env bash
# zanto on a Linux desktop, end to end and headless: a private session bus, Xvfb with
# openbox, a StatusNotifierWatcher, two tray hosts, the notification server dunst and zanto
# itself, checked from outside through D-Bus, X and the accessibility tree; a stand-in
# XEmbed tray manager, and weston for a Wayland session. The bus starts zanto only as a launcher asks it to, from the
# program's own D-Bus service file (its Exec= the build's zanto). Screenshots go to
# out/linux/.
# usage: e2e/linux/run.sh BUILD_DIR   (a build with -DZANTO_LINUX_DESKTOP=ON)
# Needs the Debian packages dbus-daemon dbus-bin xvfb x11-utils xdotool wmctrl openbox
# imagemagick dunst at-spi2-core haskell-status-notifier-item-utils
# haskell-gtk-sni-tray-utils python3-gi gir1.2-atspi-2.0 python3-xlib libglib2.0-bin weston
# fonts-dejavu-core adwaita-icon-theme.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build="$(cd "$1" && pwd)"
if [ ! -x "$build/zanto" ]; then
  echo "$build/zanto is missing: configure with -DZANTO_LINUX_DESKTOP=ON and build it" >&2
  exit 2
fi
out="$repo/out/linux"
rm -rf "$out"
mkdir -p "$out"
# The bus of the test, which knows one service: zanto's, as the package installs it, but
# starting the build's program.
bus="$(mktemp -d)"
trap 'rm -rf "$bus"' EXIT
mkdir "$bus/services"
sed "s#^Exec=.*#Exec=$build/zanto#" "$repo/res/linux/org.example.zanto.Zanto.service" \
  >"$bus/services/org.example.zanto.Zanto.service"
cat >"$bus/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>$here/session-bus.conf</include>
  <servicedir>$bus/services</servicedir>
</busconfig>
CONF
# D-Bus and the accessibility bus need the machine's identity.
[ -s /etc/machine-id ] || dbus-uuidgen --ensure=/etc/machine-id
# The test stops every service itself; the time limit is the last resort, and lets it.
# The bus daemon's own remarks (the file limit it may not raise, the test's monitor) are
# left out of the report.
status=0
dbus-run-session --config-file="$bus/bus.conf" -- \
  timeout --kill-after=15 300 /usr/bin/python3 "$here/zanto_e2e.py" "$build" "$out" \
  2> >(grep -v '^dbus-daemon\[' >&2) || status=$?
wait
exit "$status"
