#!/usr/bin/env bash
# Builds Zanto and runs it: zanto.exe under Wine (on your display, or on a private one with
# a screenshot of the first quote), or with --sim the same program over the simulated
# desktop on a sample scenario.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
jobs=$(nproc)

if [ "${1:-}" != "--sim" ] && [ -x e2e/run-zanto.sh ]; then
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
