#!/usr/bin/env bash
# Builds the Debian package of zanto for Linux desktops with dpkg-deb, from a finished
# build (-DZANTO_LINUX_DESKTOP=ON, target zanto). Needs dpkg-dev (dpkg-shlibdeps).
# usage: packaging/debian/build-deb.sh VERSION BUILD_DIR OUT_DIR
# Prints the path of the package it wrote.
#
# Its files are what `cmake --install BUILD_DIR --prefix /usr` puts (cmake/linux-install.cmake
# lists them), with the Debian changelog, copyright and lintian overrides beside them.
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 VERSION BUILD_DIR OUT_DIR" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
version="$1"
build="$(cd "$2" && pwd)"
mkdir -p "$3"
out="$(cd "$3" && pwd)"
arch="$(dpkg --print-architecture)"
[ -x "$build/zanto" ] || { echo "$build/zanto is missing" >&2; exit 2; }

newest="$(sed -n '1s/^zanto (\([^)]*\)).*/\1/p' "$here/changelog")"
if [ "$newest" != "$version" ]; then
  echo "packaging/debian/changelog: the newest entry is $newest, the program is $version" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"

# The files are the build's own install (cmake/linux-install.cmake); what only a Debian
# package has comes on top.
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
app_id=org.example.zanto.Zanto
strip --strip-unneeded --remove-section=.comment --remove-section=.note \
  "$root/usr/lib/zanto/zanto"
gzip -9n "$root/usr/share/man/man1/zanto.1"
install -d "$root/DEBIAN" "$root/usr/share/doc/zanto"
gzip -9n <"$here/changelog" >"$root/usr/share/doc/zanto/changelog.gz"
install -m 644 "$here/copyright" "$root/usr/share/doc/zanto/copyright"
install -D -m 644 "$here/lintian-overrides" "$root/usr/share/lintian/overrides/zanto"

# The libraries it links against, as the packages that hold them; the Qt platform plugins
# (X11's, and Wayland's for a native Wayland session) are loaded at run time, so no linker
# sees them.
mkdir -p "$work/src/debian"
printf 'Source: zanto\n\nPackage: zanto\nArchitecture: any\n' >"$work/src/debian/control"
shlibs="$(cd "$work/src" && dpkg-shlibdeps -O "-e$root/usr/lib/zanto/zanto" 2>"$work/shlibdeps.log" |
  sed -n 's/^shlibs:Depends=//p')" || { cat "$work/shlibdeps.log" >&2; exit 1; }
[ -n "$shlibs" ] || { echo "dpkg-shlibdeps found no libraries" >&2; exit 1; }
depends="$shlibs, qt6-qpa-plugins, qt6-wayland"

installed_size="$(du -sk --apparent-size "$root/usr" "$root/etc" | awk '{ s += $1 } END { print s }')"
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
  -e "s/@INSTALLED_SIZE@/$installed_size/" "$here/control.in" >"$root/DEBIAN/control"
echo "/etc/xdg/autostart/$app_id.desktop" >"$root/DEBIAN/conffiles"
# As dh_md5sums has them: every file but the conffiles.
(cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) \
  >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/conffiles" "$root/DEBIAN/md5sums"

# The same package from the same commit, byte for byte.
find "$root" -type d -exec chmod 755 {} +
find "$root" -exec touch -h -d "@${SOURCE_DATE_EPOCH:-0}" {} +
deb="$out/zanto_${version}_$arch.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
