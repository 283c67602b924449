#!/usr/bin/env bash
# Runs the built zanto.exe under Wine.
#
#   e2e/run-zanto.sh BUILD_DIR
#
# With a display ($DISPLAY set), the program starts in a Wine desktop window with a taskbar
# on that display; use its tray icon's menu (right click) and Exit to end it.
# Without one, it starts in a private Xvfb, waits for the first quote, saves a screenshot of
# it under out/, says where, and stops again.
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "$1" && pwd)" || exit 2
BIN="$BUILD/src/platform/win32"
LOGS="$BUILD/e2e/logs"
OUT="$ROOT/out"
for f in "$BIN/zanto.exe" "$BIN/zanto-driver.exe"; do
  [ -f "$f" ] || { echo "missing $f (build first)" >&2; exit 2; }
done
mkdir -p "$LOGS" "$OUT"

if [ -z "${DISPLAY:-}" ] && [ -z "${ZANTO_RUN_HEADLESS:-}" ]; then
  export ZANTO_RUN_HEADLESS=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$BUILD"
fi

. "$ROOT/e2e/wine-env.sh"
trap 'timeout 20 wineserver -k >/dev/null 2>&1' EXIT
prepare_prefix || exit 1

if [ -z "${ZANTO_RUN_HEADLESS:-}" ]; then
  echo "Starting zanto.exe under Wine on $DISPLAY; right-click its tray icon for the menu, Exit ends it."
  # Wine's own chatter goes to a file, never through a pipe.
  wine "$(winpath "$BIN/zanto.exe")" >"$LOGS/zanto.log" 2>&1
  exit $?
fi

echo "No display: running zanto.exe in a private X server until its first quote."
driver() {
  timeout 90 wine "$(winpath "$BIN/zanto-driver.exe")" "$@" >"$LOGS/run-driver.out" 2>&1
  local rc=$?
  sed 's/\r$//; s/^ */  /' "$LOGS/run-driver.out"
  return $rc
}
if ! driver launch "$(winpath "$BIN/zanto.exe")" --balloon; then
  driver kill >/dev/null
  echo "zanto.exe did not show its first quote" >&2
  exit 1
fi
shot="$OUT/zanto-first-quote.png"
timeout 20 import -window root "$shot" && echo "Screenshot of the first quote: $shot"
driver exit-via-menu >/dev/null || driver kill >/dev/null
echo "zanto.exe stopped."
