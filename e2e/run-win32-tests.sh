#!/usr/bin/env bash
# The tests of the Windows desktop (tests/win32), built with mingw-w64, run under Wine in a
# private X display and the end-to-end prefix.
#
#   e2e/run-win32-tests.sh BUILD_DIR   (a mingw-w64 build configured with ZANTO_TESTS=ON)
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "$1" && pwd)" || exit 2
. "$ROOT/e2e/checks.sh"
in_private_display "$0" "$BUILD"

TEST="$BUILD/tests/win32/win32_desktop_test.exe"
LOGS="$BUILD/e2e/logs"
[ -f "$TEST" ] || { echo "missing $TEST (build with ZANTO_TESTS=ON first)" >&2; exit 2; }
mkdir -p "$LOGS"
. "$ROOT/e2e/wine-env.sh"
trap 'timeout 20 wineserver -k >/dev/null 2>&1' EXIT
prepare_prefix || exit 1

# Wine's output goes to a file, never through a pipe (wineserver would keep it open).
timeout 300 wine "$(winpath "$TEST")" --gtest_brief=1 >"$LOGS/win32-tests.out" 2>&1
status=$?
sed 's/\r$//' "$LOGS/win32-tests.out" | grep -v '^[0-9a-f]*:\(fixme\|err\|warn\):'
exit $status
