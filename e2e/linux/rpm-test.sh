#!/usr/bin/env bash
# The RPM of zanto: rpmlint, its files, its requirements against the libraries the program
# links, its desktop entries (the Debian package's own, when one is given), and installed
# with rpm into a fresh root, then erased.
# usage: e2e/linux/rpm-test.sh RPM [DEB]
# Needs rpm, rpmlint, appstream, desktop-file-utils and binutils.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -f "$1" ]; then
  echo "usage: $0 RPM [DEB]" >&2
  exit 2
fi
rpm_file="$(realpath "$1")"
deb="${2:+$(realpath "$2")}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
. "$repo/e2e/checks.sh"
began=$SECONDS
app_id=org.example.zanto.Zanto

echo "== $(basename "$rpm_file"): rpmlint"
rpmlint -c "$repo/packaging/rpm/rpmlint.toml" "$rpm_file" >"$work/rpmlint.out" 2>&1
status=$?
sed -n '/^zanto/p; /packages and/p' "$work/rpmlint.out" | sed 's/^/      /'
check "rpmlint: no errors" eval '[ "$status" -eq 0 ] && grep -q " 0 errors," "$work/rpmlint.out"'

echo "== its files and fields"
rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} %{FILENAMES}\n]' "$rpm_file" |
  sort -k3 >"$work/files"
sed 's/^/      /' "$work/files"
sort -k3 >"$work/expected" <<LIST
-rw-r--r-- root/root /etc/xdg/autostart/$app_id.desktop
lrwxrwxrwx root/root /usr/bin/zanto
drwxr-xr-x root/root /usr/lib/zanto
-rw-r--r-- root/root /usr/lib/zanto/quotes.txt
-rwxr-xr-x root/root /usr/lib/zanto/zanto
-rw-r--r-- root/root /usr/share/applications/$app_id.desktop
-rw-r--r-- root/root /usr/share/dbus-1/services/$app_id.service
-rw-r--r-- root/root /usr/share/icons/hicolor/128x128/apps/$app_id.png
-rw-r--r-- root/root /usr/share/icons/hicolor/16x16/apps/$app_id.png
-rw-r--r-- root/root /usr/share/icons/hicolor/256x256/apps/$app_id.png
-rw-r--r-- root/root /usr/share/icons/hicolor/32x32/apps/$app_id.png
-rw-r--r-- root/root /usr/share/icons/hicolor/64x64/apps/$app_id.png
-rw-r--r-- root/root /usr/share/icons/hicolor/scalable/apps/$app_id.svg
-rw-r--r-- root/root /usr/share/man/man1/zanto.1.gz
-rw-r--r-- root/root /usr/share/metainfo/$app_id.metainfo.xml
LIST
check "exactly the program, its quotes, the menu and autostart entries, the D-Bus service, icons, metainfo and manual" \
  diff -u "$work/expected" "$work/files"
check "the autostart entry is a configuration file the user's changes survive" eval '
  [ "$(rpm -qp --configfiles "$rpm_file")" = /etc/xdg/autostart/$app_id.desktop ]'
check "named and versioned as the release: zanto 0.1-1, x86_64" eval '
  [ "$(rpm -qp --qf "%{NAME} %{VERSION}-%{RELEASE} %{ARCH}" "$rpm_file")" = "zanto 0.1-1 x86_64" ]'

mkdir "$work/files-root"
(cd "$work/files-root" && rpm2cpio "$rpm_file" | cpio -idm --quiet)
program="$work/files-root/usr/lib/zanto/zanto"
rpm -qp --requires "$rpm_file" >"$work/requires"
objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }' >"$work/needed"
echo "      links: $(paste -sd ' ' "$work/needed")"
echo "      requires: $(grep -v '(GLIBC\|(GCC\|(CXXABI\|(GLIBCXX\|(Qt_' "$work/requires" | paste -sd ' ')"
check "it requires every library the program links, by its soname" eval '
  while read -r soname; do grep -qxF "$soname()(64bit)" "$work/requires" || exit 1; done <"$work/needed"'
check "... and each Qt library by Fedora's package for it (or openSUSE's), the GUI one with the platform plugins" eval '
  grep -q "^libQt6" "$work/needed" &&
  while read -r soname; do
    case "$soname" in
      libQt6Core.so.*|libQt6DBus.so.*) fedora=qt6-qtbase ;;
      libQt6Gui.so.*|libQt6Widgets.so.*) fedora=qt6-qtbase-gui ;;
      libQt6*) exit 1 ;;
      *) continue ;;
    esac
    grep -q "^($fedora or " "$work/requires" || exit 1
  done <"$work/needed"'
check "... and recommends Qt's Wayland platform" eval '
  rpm -qp --recommends "$rpm_file" | grep -qx "(qt6-qtwayland or qt6-wayland)"'

menu="$work/files-root/usr/share/applications/$app_id.desktop"
autostart="$work/files-root/etc/xdg/autostart/$app_id.desktop"
service="$work/files-root/usr/share/dbus-1/services/$app_id.service"
check "desktop-file-validate: the menu and autostart entries" \
  desktop-file-validate "$menu" "$autostart"
check "appstreamcli validate: the metainfo" \
  appstreamcli validate --no-net "$work/files-root/usr/share/metainfo/$app_id.metainfo.xml"
check "the D-Bus service starts /usr/bin/zanto" grep -qx "Exec=/usr/bin/zanto" "$service"
if [ -n "$deb" ]; then
  mkdir "$work/deb-root"
  dpkg-deb -x "$deb" "$work/deb-root"
  check "the same menu entry, autostart entry, service, program, quotes and icons as the Debian package" eval '
    for f in usr/share/applications/$app_id.desktop etc/xdg/autostart/$app_id.desktop \
             usr/share/dbus-1/services/$app_id.service usr/lib/zanto/zanto usr/lib/zanto/quotes.txt \
             usr/share/metainfo/$app_id.metainfo.xml; do
      cmp -s "$work/files-root/$f" "$work/deb-root/$f" || { echo "      differs: $f"; exit 1; }
    done
    diff -r "$work/files-root/usr/share/icons" "$work/deb-root/usr/share/icons"'
fi

echo "== installed into a fresh root"
root="$work/root"
mkdir -p "$root"
# Debian's rpm says on every call that it would rather be alien; it goes to a log.
exec 3>&2 2>"$work/rpm.err"
rpm --root "$root" --initdb
check "rpm -i: installs (the libraries are the distribution's, not looked for here)" \
  rpm --root "$root" --nodeps -i "$rpm_file"
check "every file where it belongs, as in the package" eval '
  (cd "$work/files-root" && find . ! -type d | sort) >"$work/packaged" &&
  (cd "$root" && find ./etc ./usr ! -type d | sort) >"$work/installed" &&
  diff -u "$work/packaged" "$work/installed" &&
  while read -r f; do
    [ -L "$work/files-root/$f" ] && continue
    cmp -s "$work/files-root/$f" "$root/$f" || exit 1
  done <"$work/packaged"'
check "zanto on the PATH is the program, with its sample quotes beside it" eval '
  [ "$(readlink "$root/usr/bin/zanto")" = ../lib/zanto/zanto ] &&
  [ -x "$root/usr/bin/../lib/zanto/zanto" ] && [ -s "$root/usr/lib/zanto/quotes.txt" ]'
check "rpm -q: zanto-0.1-1 is installed, its files verify" eval '
  [ "$(rpm --root "$root" -q zanto)" = zanto-0.1-1.x86_64 ] && rpm --root "$root" -V --nodeps zanto'
check "rpm -e: nothing of it is left" eval '
  rpm --root "$root" -e --nodeps zanto &&
  [ -z "$(find "$root/etc" "$root/usr" ! -type d 2>/dev/null)" ]'

exec 2>&3 3>&-
grep -v "use Alien\|you know what you are doing" "$work/rpm.err" | sed 's/^/      /'
echo "== the RPM: $((SECONDS - began)) s"
tally rpm
