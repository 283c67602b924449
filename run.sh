#!/usr/bin/env bash
# Builds Zanto and runs it: natively in the notification area of this Linux desktop session
# when there is one, else zanto.exe under Wine (on your display, or on a private one with a
# screenshot of the first quote); with --sim the same program over the simulated desktop on a
# sample scenario.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
jobs=$(nproc)

if [ "${1:-}" != "--sim" ] && [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] &&
  [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  need_packages cmake make g++ qt6-base-dev qt6-qpa-plugins dbus-bin
  cmake -S . -B build-linux -DZANTO_LINUX_DESKTOP=ON -DZANTO_TESTS=OFF >/dev/null
  cmake --build build-linux -j"$jobs" --target zanto
  status=0
  e2e/linux/run-zanto.sh build-linux || status=$?
  [ "$status" -eq 3 ] || exit "$status"
  echo "== no StatusNotifierItem tray here: zanto.exe under Wine instead"
fi

if [ "${1:-}" != "--sim" ]; then
  need_packages "${WINDOWS_PACKAGES[@]}" cmake make
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DZANTO_TESTS=OFF >/dev/null
  cmake --build build-win -j"$jobs"
  exec e2e/run-zanto.sh build-win
fi

need_packages cmake make g++
cmake -S . -B build-sim -DZANTO_TESTS=OFF >/dev/null
cmake --build build-sim -j"$jobs" --target zanto-sim
echo "== zanto-sim: the first quotes of a ten-line quotes.txt (tools/zanto-sim/scenarios)"
cd tools/zanto-sim/scenarios
exec ../../../build-sim/zanto-sim --exe ./zanto.exe --utc "$(date -u +%H:%M:%S.000)" first-quotes.sim
