#!/usr/bin/env bash
# Builds every release artifact into dist/, from the sources alone:
#   zanto-VERSION-win64-setup.exe     the Windows installer (NSIS; per user, no admin rights)
#   zanto-VERSION-win64-portable.zip  zanto.exe, quotes.txt and a README, to unpack anywhere
#   zanto_VERSION_ARCH.deb            zanto for Linux desktops, started at every login
#   zanto-VERSION-1.x86_64.rpm        the same for Fedora, openSUSE and their like
#   screenshots/settings.png          the settings window, as software centres show it
#   SHA256SUMS
# VERSION is the project's VERSION in CMakeLists.txt. Builds in build-pkg-win and
# build-pkg-linux (ZANTO_PKG_BUILD_WIN, ZANTO_PKG_BUILD_LINUX name others). The files in
# the packages carry the time of the commit (SOURCE_DATE_EPOCH), not of the build.
# With a code-signing certificate (ZANTO_SIGN_PKCS12, ZANTO_SIGN_PASSWORD and, optionally,
# ZANTO_SIGN_TIMESTAMP_URL: packaging/windows/sign.sh), zanto.exe, the uninstaller and the
# installer are Authenticode-signed; without one they are not.
set -euo pipefail
# Named from where the script was started; it goes on from the sources' folder.
if [ -n "${ZANTO_SIGN_PKCS12:-}" ]; then
  ZANTO_SIGN_PKCS12="$(realpath -- "$ZANTO_SIGN_PKCS12")"
  export ZANTO_SIGN_PKCS12
fi
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages "${PACKAGING_PACKAGES[@]}"
jobs=$(nproc)
build_win="${ZANTO_PKG_BUILD_WIN:-build-pkg-win}"
build_linux="${ZANTO_PKG_BUILD_LINUX:-build-pkg-linux}"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null || date +%s)"
fi
export SOURCE_DATE_EPOCH

echo "== zanto.exe ($build_win)"
cmake -S . -B "$build_win" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZANTO_TESTS=OFF >/dev/null
cmake --build "$build_win" -j"$jobs" --target zanto
exe="$build_win/src/platform/win32/zanto.exe"

echo "== zanto for Linux desktops ($build_linux)"
# Debian's hardening flags, all of them, as a package of the distribution has them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build_linux" -DZANTO_LINUX_DESKTOP=ON -DZANTO_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build_linux" -j"$jobs" --target zanto

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build_linux/CMakeCache.txt")"
[ -n "$version" ] || { echo "no project version in $build_linux/CMakeCache.txt" >&2; exit 1; }
# The exe's version resource must say the same, in four parts.
IFS=. read -r -a parts <<<"$version"
while [ ${#parts[@]} -lt 4 ]; do parts+=(0); done
version4="$(IFS=.; echo "${parts[*]:0:4}")"
resources="$(x86_64-w64-mingw32-windres -i "$exe" -O rc)"
if ! grep -q "VALUE \"FileVersion\", \"$version4\"" <<<"$resources"; then
  echo "zanto.exe's version resource (res/zanto.rc) does not say $version4" >&2
  exit 1
fi

rm -rf dist
mkdir -p dist
# What the Windows packages carry, each file with the commit's time.
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/files"
cp "$exe" res/quotes.txt "$stage/files/"
# Notepad's line ends.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/windows/README.txt \
  >"$stage/files/README.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/files"/*

if [ -n "${ZANTO_SIGN_PKCS12:-}" ]; then
  need_packages "${SIGNING_PACKAGES[@]}"
  echo "== signing the Windows downloads with $ZANTO_SIGN_PKCS12"
  # The zip and the installer carry the same signed zanto.exe.
  packaging/windows/sign.sh "$stage/files/zanto.exe"
else
  echo "== no code-signing certificate (ZANTO_SIGN_PKCS12): the Windows downloads are unsigned"
fi

echo "== the Windows installer"
packaging/windows/build-installer.sh "$version" "$stage/files/zanto.exe" \
  "$stage/files/quotes.txt" "dist/zanto-$version-win64-setup.exe"

echo "== the portable zip"
(cd "$stage/files" && TZ=UTC zip -q -X -D ../portable.zip zanto.exe quotes.txt README.txt)
mv "$stage/portable.zip" "dist/zanto-$version-win64-portable.zip"

echo "== the Debian package and the RPM, from the build's install"
packaging/debian/build-deb.sh "$version" "$build_linux" dist >/dev/null
packaging/rpm/build-rpm.sh "$version" "$build_linux" dist >/dev/null

(cd dist && sha256sum -- * >SHA256SUMS)
# The screenshot the metainfo names, for the release to publish at that path of the site;
# the Linux desktop's end-to-end test takes it.
if [ -f out/linux/settings.png ]; then
  mkdir -p dist/screenshots
  cp out/linux/settings.png dist/screenshots/settings.png
else
  echo "== no out/linux/settings.png (e2e/linux/run.sh takes it): dist/ has no screenshot"
fi
echo "== dist/"
(cd dist && ls -l -- *)
