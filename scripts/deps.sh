#!/usr/bin/env bash
# Installs the Debian packages a step needs, only those missing. Sourced by the scripts.
# usage: need_packages pkg...
need_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
}

# dbus-daemon: the Linux desktop's timer tests run a private bus in place of the system's.
LINUX_PACKAGES=(cmake make g++ libgtest-dev googletest qt6-base-dev qt6-qpa-plugins dbus-daemon
  pkgconf libxcb1-dev)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools googletest wine64 wine fonts-wine xvfb xauth xdotool
  x11-utils imagemagick)
LINUX_DESKTOP_PACKAGES=(dbus-daemon dbus-bin xvfb x11-utils xdotool wmctrl openbox imagemagick
  dunst at-spi2-core haskell-status-notifier-item-utils haskell-gtk-sni-tray-utils python3-gi
  gir1.2-atspi-2.0 python3-xlib libglib2.0-bin weston fonts-dejavu-core adwaita-icon-theme)
# scripts/package.sh: both programs, the installer (NSIS), the zip and the Debian package.
PACKAGING_PACKAGES=(cmake make g++ qt6-base-dev pkgconf libxcb1-dev g++-mingw-w64-x86-64-posix mingw-w64-tools nsis
  imagemagick zip dpkg-dev rpm)
# Signing the Windows downloads (scripts/package.sh with a certificate).
SIGNING_PACKAGES=(osslsigncode)
# The tests of the packages, besides the Windows and Linux desktop packages above; openssl
# makes their throwaway code-signing certificate.
PACKAGE_TEST_PACKAGES=(lintian unzip osslsigncode openssl desktop-file-utils appstream rpm rpmlint
  imagemagick)
