#!/usr/bin/env bash
# cmake --install with another prefix than the build was configured with: every file under
# it, the link on the PATH reaching the program, the bus service starting the program there,
# and the autostart entry in that prefix's etc (/etc only for the prefix /usr).
# usage: tests/linux_install_test.sh BUILD_DIR
set -uo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }
id=org.example.zanto.Zanto

for prefix in /opt/zanto /usr; do
  root="$work/root$prefix"
  DESTDIR="$work/root" cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install --prefix $prefix"; continue; }
  etc="$prefix/etc"
  [ "$prefix" = /usr ] && etc=/etc
  for f in "$prefix/lib/zanto/zanto" "$prefix/lib/zanto/quotes.txt" \
    "$prefix/share/applications/$id.desktop" "$prefix/share/dbus-1/services/$id.service" \
    "$prefix/share/metainfo/$id.metainfo.xml" "$prefix/share/icons/hicolor/scalable/apps/$id.svg" \
    "$prefix/share/man/man1/zanto.1" "$etc/xdg/autostart/$id.desktop"; do
    [ -s "$work/root$f" ] || fail "$prefix: no $f"
  done
  [ "$(readlink "$work/root$prefix/bin/zanto")" = ../lib/zanto/zanto ] ||
    fail "$prefix: bin/zanto is no link to ../lib/zanto/zanto"
  [ -x "$work/root$prefix/bin/zanto" ] || fail "$prefix: bin/zanto does not reach the program"
  grep -qx "Exec=$prefix/bin/zanto" "$work/root$prefix/share/dbus-1/services/$id.service" ||
    fail "$prefix: the bus service does not start $prefix/bin/zanto"
  grep -q "^\[Desktop Action\|^Actions=\|^DBusActivatable=" "$work/root$etc/xdg/autostart/$id.desktop" &&
    fail "$prefix: the autostart entry carries the menu's actions"
  grep -qx "TryExec=zanto" "$work/root$etc/xdg/autostart/$id.desktop" ||
    fail "$prefix: the autostart entry has no TryExec"
  grep -q "@VERSION@" "$work/root$prefix/share/man/man1/zanto.1" &&
    fail "$prefix: the manual page does not name the version"
done
[ -e "$work/root/usr/etc" ] && fail "the prefix /usr put an etc below it"
[ "$failed" -eq 0 ] && echo "installs under /opt/zanto and /usr as they should"
exit "$failed"
