#!/usr/bin/env bash
# Builds the RPM of zanto for Linux desktops (Fedora, openSUSE) with rpmbuild (Debian's rpm),
# from a finished build (-DZANTO_LINUX_DESKTOP=ON, target zanto): its files are what
# `cmake --install BUILD_DIR --prefix /usr` puts (cmake/linux-install.cmake).
# usage: packaging/rpm/build-rpm.sh VERSION BUILD_DIR OUT_DIR
# Prints the path of the package it wrote.
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 VERSION BUILD_DIR OUT_DIR" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
version="$1"
build="$(cd "$2" && pwd)"
mkdir -p "$3"
out="$(cd "$3" && pwd)"
[ -x "$build/zanto" ] || { echo "$build/zanto is missing" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
program="$root/usr/lib/zanto/zanto"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$program"
gzip -9n "$root/usr/share/man/man1/zanto.1"

# rpmbuild finds the libraries' sonames in the program itself; these name the packages
# that hold the Qt ones, as Fedora calls them (or openSUSE), so that the platform plugins
# come along with the GUI library, as on Fedora they do.
requires=""
while read -r soname; do
  case "$soname" in
    libQt6Core.so.*) fedora=qt6-qtbase suse=libQt6Core6 ;;
    libQt6DBus.so.*) fedora=qt6-qtbase suse=libQt6DBus6 ;;
    libQt6Gui.so.*) fedora=qt6-qtbase-gui suse=libQt6Gui6 ;;
    libQt6Widgets.so.*) fedora=qt6-qtbase-gui suse=libQt6Widgets6 ;;
    libQt6*) echo "no package known for $soname" >&2; exit 1 ;;
    *) continue ;;
  esac
  requires+="Requires:       ($fedora or $suse)"$'\n'
done < <(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }')
[ -n "$requires" ] || { echo "the program links no Qt library" >&2; exit 1; }
requires+="Recommends:     (qt6-qtwayland or qt6-wayland)"

epoch="${SOURCE_DATE_EPOCH:-$(date +%s)}"
find "$root" -exec touch -h -d "@$epoch" {} +
awk -v version="$version" -v root="$root" -v requires="$requires" '
  { gsub(/@VERSION@/, version); gsub(/@ROOT@/, root) }
  /^@REQUIRES@$/ { print requires; next }
  { print }' "$here/zanto-rpmbuild.in" >"$work/zanto.spec"

# The same package from the same commit: the build time and every file's time are the
# commit's.
SOURCE_DATE_EPOCH="$epoch" rpmbuild -bb --quiet --target x86_64-linux \
  --define "_topdir $work/top" --define "_build_id_links none" \
  --define "use_source_date_epoch_as_buildtime 1" --define "clamp_mtime_to_source_date_epoch 1" \
  --define "_buildhost zanto.example.org" \
  "$work/zanto.spec" >"$work/rpmbuild.log" 2>&1 || { cat "$work/rpmbuild.log" >&2; exit 1; }
rpm="$out/zanto-$version-1.x86_64.rpm"
mv "$work/top/RPMS/x86_64/zanto-$version-1.x86_64.rpm" "$rpm"
echo "$rpm"
