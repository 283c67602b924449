#!/usr/bin/env bash
# The Debian package of zanto: lintian, its files and fields, installed with dpkg into a
# fresh root, started at login on a headless desktop (package_e2e.py), then removed and
# purged. The screen of the first quote goes to out/linux-package/.
# usage: e2e/linux/package-test.sh DEB
# Needs lintian, desktop-file-utils and the packages e2e/linux/run.sh needs.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 DEB" >&2
  exit 2
fi
deb="$(realpath "$1")"
out="$repo/out/linux-package"
rm -rf "$out"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$repo/e2e/checks.sh"
began=$SECONDS

echo "== $(basename "$deb"): lintian"
lintian --fail-on error,warning -I --pedantic "$deb" >"$work/lintian.out" 2>&1
status=$?
grep -v '^running with root privileges' "$work/lintian.out" | sed 's/^/      /'
check "lintian: no errors, no warnings" test "$status" -eq 0

echo "== its files and fields"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $1, $2, $6, $7, $8 }' |
  sed 's/ *$//' | sort -k3 >"$work/files"
sed 's/^/      /' "$work/files"
cat >"$work/expected" <<'LIST'
-rw-r--r-- root/root /etc/xdg/autostart/org.example.zanto.Zanto.desktop
lrwxrwxrwx root/root /usr/bin/zanto -> ../lib/zanto/zanto
-rw-r--r-- root/root /usr/lib/zanto/quotes.txt
-rwxr-xr-x root/root /usr/lib/zanto/zanto
-rw-r--r-- root/root /usr/share/applications/org.example.zanto.Zanto.desktop
-rw-r--r-- root/root /usr/share/dbus-1/services/org.example.zanto.Zanto.service
-rw-r--r-- root/root /usr/share/doc/zanto/changelog.gz
-rw-r--r-- root/root /usr/share/doc/zanto/copyright
-rw-r--r-- root/root /usr/share/icons/hicolor/128x128/apps/org.example.zanto.Zanto.png
-rw-r--r-- root/root /usr/share/icons/hicolor/16x16/apps/org.example.zanto.Zanto.png
-rw-r--r-- root/root /usr/share/icons/hicolor/256x256/apps/org.example.zanto.Zanto.png
-rw-r--r-- root/root /usr/share/icons/hicolor/32x32/apps/org.example.zanto.Zanto.png
-rw-r--r-- root/root /usr/share/icons/hicolor/64x64/apps/org.example.zanto.Zanto.png
-rw-r--r-- root/root /usr/share/icons/hicolor/scalable/apps/org.example.zanto.Zanto.svg
-rw-r--r-- root/root /usr/share/lintian/overrides/zanto
-rw-r--r-- root/root /usr/share/man/man1/zanto.1.gz
-rw-r--r-- root/root /usr/share/metainfo/org.example.zanto.Zanto.metainfo.xml
LIST
check "exactly the program, its quotes, the menu and autostart entries, the D-Bus service, icons and docs" \
  diff -u "$work/expected" "$work/files"
check "the autostart entry is a conffile" eval '
  dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/xdg/autostart/org.example.zanto.Zanto.desktop'

# The menu entry: its four actions, D-Bus activation, and an Exec line for launchers
# without it; the autostart entry only starts the program; the bus service starts the
# installed program, and is named as the bus name it owns.
dpkg-deb -x "$deb" "$work/files-root"
menu="$work/files-root/usr/share/applications/org.example.zanto.Zanto.desktop"
autostart="$work/files-root/etc/xdg/autostart/org.example.zanto.Zanto.desktop"
service="$work/files-root/usr/share/dbus-1/services/org.example.zanto.Zanto.service"
check "desktop-file-validate: the menu and autostart entries" \
  desktop-file-validate "$menu" "$autostart"
check "the menu entry is D-Bus activatable, with Exec=zanto besides" eval '
  grep -qx DBusActivatable=true "$menu" && grep -qx Exec=zanto "$menu"'
check "its actions are the tray menu's commands, without access-key marks" eval '
  [ "$(grep -x "Actions=.*" "$menu")" = "Actions=tell-me-more;settings;about;exit;" ] &&
  [ "$(sed -n "/^\[Desktop Action /,\$ s/^Name=//p" "$menu" | paste -sd "|")" = \
    "Tell me more, Zanto!|Settings...|About Zanto...|Exit" ]'
check "the autostart entry starts the program, with no actions and no activation" eval '
  grep -qx Exec=zanto "$autostart" && ! grep -q "^\[Desktop Action\|^Actions=\|^DBusActivatable=" "$autostart"'
check "the D-Bus service: org.example.zanto.Zanto, started as /usr/bin/zanto" eval '
  [ "$(grep -v "^$" "$service")" = "$(printf "[D-BUS Service]\nName=org.example.zanto.Zanto\nExec=/usr/bin/zanto")" ]'

# What software centres read: the metainfo, valid, launching the menu entry, whose icon the
# package brings at every size.
metainfo="$work/files-root/usr/share/metainfo/org.example.zanto.Zanto.metainfo.xml"
check "appstreamcli validate: the metainfo" appstreamcli validate --no-net "$metainfo"
check "the metainfo launches the menu entry, whose icon is the package's, at 16 to 256 pixels and scalable" eval '
  grep -q "<launchable type=\"desktop-id\">org.example.zanto.Zanto.desktop</launchable>" "$metainfo" &&
  icon="$(sed -n "s/^Icon=//p" "$menu")" && [ "$icon" = org.example.zanto.Zanto ] &&
  for size in 16 32 64 128 256; do
    [ -s "$work/files-root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png" ] || exit 1
    [ "$(identify -format "%wx%h" "$work/files-root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png")" = "${size}x$size" ] || exit 1
  done &&
  [ -s "$work/files-root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]'

depends="$(dpkg-deb -f "$deb" Depends)"
echo "      Depends: $depends"
check "it depends on Qt 6's core, GUI, widgets, D-Bus and platform plugins, Wayland's too" eval '
  for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins qt6-wayland; do
    grep -Eq "(^|, )$p( |,|\$)" <<<"$depends" || exit 1
  done'
# Every dependency as this machine, where the program runs, has it.
satisfied() {
  local dep name op version have
  while IFS= read -r dep; do
    name="${dep%% *}"
    have="$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null)" || {
      echo "      $name is not installed"
      return 1
    }
    if [[ "$dep" =~ \(([<>=]+)\ ([^\)]+)\) ]]; then
      op="${BASH_REMATCH[1]}"
      version="${BASH_REMATCH[2]}"
      case "$op" in ">=") op=ge ;; "<=") op=le ;; ">>") op=gt ;; "<<") op=lt ;; "=") op=eq ;; esac
      dpkg --compare-versions "$have" "$op" "$version" || {
        echo "      $name $have does not satisfy $dep"
        return 1
      }
    fi
  done < <(tr ',' '\n' <<<"$depends" | sed 's/^ *//')
}
check "... and each is met by the packages it runs with here" satisfied

echo "== installed with dpkg into a fresh root"
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$root" --log="$work/dpkg.log" "$@"; }
# The fresh root has none of the libraries: they are this machine's.
check "dpkg --install" eval 'dpkg_root --force-depends --install "$deb" >"$work/install.out" 2>&1 ||
  { cat "$work/install.out"; false; }'
check "... the package is installed" \
  test "$(dpkg_root -s zanto 2>/dev/null | sed -n 's/^Status: //p')" = "install ok installed"
check "... every file as shipped (dpkg --verify)" eval '[ -z "$(dpkg_root --verify zanto)" ]'
check "... /usr/bin/zanto leads to the program" \
  test "$(readlink -f "$root/usr/bin/zanto")" = "$root/usr/lib/zanto/zanto"

echo "== started at login on a headless desktop"
[ -s /etc/machine-id ] || dbus-uuidgen --ensure=/etc/machine-id
dbus-run-session --config-file="$here/session-bus.conf" -- \
  timeout --kill-after=15 120 /usr/bin/python3 "$here/package_e2e.py" "$root" "$out" \
  2> >(grep -v '^dbus-daemon\[' >&2) >"$work/desktop.out"
status=$?
wait
sed 's/^/      /' "$work/desktop.out"
check "the autostart entry starts it, its first quote comes; the user's quotes file wins" \
  test "$status" -eq 0

echo "== removed and purged"
check "dpkg --remove: the program goes, the autostart entry (a conffile) stays" eval '
  dpkg_root --remove zanto >/dev/null 2>&1 && [ ! -e "$root/usr/lib/zanto" ] &&
  [ ! -e "$root/usr/bin/zanto" ] && [ -e "$root/etc/xdg/autostart/org.example.zanto.Zanto.desktop" ]'
check "... and sessions skip it: its TryExec program is gone" eval '
  grep -qx "TryExec=zanto" "$root/etc/xdg/autostart/org.example.zanto.Zanto.desktop" &&
  ! PATH="$root/usr/bin" command -v zanto >/dev/null'
check "dpkg --purge: nothing is left" eval '
  dpkg_root --purge zanto >/dev/null 2>&1 &&
  [ -z "$(find "$root" -path "$root/var" -prune -o ! -type d -print)" ]'

echo "== the Debian package: $((SECONDS - began)) s"
tally package
