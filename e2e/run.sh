#!/usr/bin/env bash
# End-to-end tests of zanto.exe under Wine, in a private X display and a private prefix.
#
#   e2e/run.sh BUILD_DIR        (BUILD_DIR: a finished mingw-w64 build, e.g. build-win)
#
# Builds nothing. Starts the real zanto.exe in a Wine virtual desktop with a taskbar and a
# notification area, drives it with zanto-driver.exe (e2e/driver) the way a user and the
# shell would, and checks what a user would see. Screenshots go to out/ in the repository.
# Set ZANTO_E2E_FRESH_PREFIX=1 to create the Wine prefix (kept in BUILD_DIR/e2e/prefix) anew.
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "$1" && pwd)" || exit 2

. "$ROOT/e2e/checks.sh"
in_private_display "$0" "$BUILD"

BIN="$BUILD/src/platform/win32"
E2E="$BUILD/e2e"
WORK="$E2E/work"
OUT="$ROOT/out"
LOGS="$E2E/logs"
QUOTES="$ROOT/res/quotes.txt"

. "$ROOT/e2e/wine-env.sh"

for f in "$BIN/zanto.exe" "$BIN/zanto-driver.exe" "$QUOTES"; do
  [ -f "$f" ] || { echo "missing $f (build first)" >&2; exit 2; }
done

STARTED=$SECONDS

teardown() {
  timeout 20 wineserver -k >/dev/null 2>&1
}
trap teardown EXIT

mkdir -p "$WORK" "$OUT" "$LOGS"

DRIVER="$(winpath "$BIN/zanto-driver.exe")"
DRIVER_OUT="$LOGS/driver.out"

# Runs one driver command; its report is indented under the check. Wine's output is never
# read through a pipe: wineserver and explorer would inherit it and keep it open.
drive() {
  timeout 90 wine "$DRIVER" "$@" >"$DRIVER_OUT" 2>>"$LOGS/driver.err"
  local rc=$?
  sed 's/\r$//; s/^ */      /' "$DRIVER_OUT"
  return $rc
}


shot() {
  timeout 20 import -window root "$OUT/$1.png" >/dev/null 2>&1 &&
    echo "        screenshot out/$1.png"
}

# The last value a driver report gave for "after N ms".
reported_ms() { sed -n 's/.*after \([0-9]*\) ms.*/\1/p' "$DRIVER_OUT" | tail -1; }
reported_quote() { sed -n 's/.*: "\(.*\)"\r*$/\1/p' "$DRIVER_OUT" | tail -1; }

# A copy of the program in a directory of its own (any name, nested too), with the given
# quotes file (or none).
install_copy() {
  local dir="$WORK/$1" quotes="${2:-}"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$BIN/zanto.exe" "$dir/"
  [ -n "$quotes" ] && cp "$quotes" "$dir/quotes.txt"
  winpath "$dir/zanto.exe"
}

# Whatever a failed scenario left running goes before the next one starts.
end_scenario() {
  drive kill >/dev/null
}

scenario_normal_use() {
  echo "== the program in everyday use (quotes.txt of $(awk 'END{print NR}' "$QUOTES") lines)"
  local exe lines first
  exe="$(install_copy normal "$QUOTES")"
  lines="$(awk 'END{print NR}' "$QUOTES")"

  check "started: tray window, icon added, first quote balloon" drive launch "$exe" --balloon
  # Wine's shell shows a balloon about 2 s after it is asked to; the program asks at 1 s.
  local after
  after="$(reported_ms)"
  after="${after:-0}"
  check "the first quote was asked for at about one second (balloon ${after} ms after the tray window, less Wine's 2 s)" \
    test "$after" -ge 2500 -a "$after" -le 4500
  first="$(reported_quote)"
  check "the balloon shows a line of quotes.txt" grep -Fxq -- "$first" "$QUOTES"
  shot balloon
  check "the shell has the icon" drive icon

  check "right click on the icon opens the tray menu" drive menu-open
  shot menu
  check "Settings chosen" drive menu-pick 1
  check "Settings shows the window on the General page, with a taskbar entry" \
    drive wait form_visible=1 page=0 pages=3 taskbar_visible=1 taskbar_caption=Zanto \
    "form_caption=Zanto|Settings..."
  shot page-general
  check "the Quotes tab lists every line of the file" \
    drive tab 1
  check "... $lines rows on the Quotes page" drive wait page=1 list_visible=1 rows="$lines"
  shot page-quotes

  check "Escape (there is no cancel button)" drive key escape
  check "... does nothing: the window stays shown for a second" \
    drive still form_visible=1 page=1 taskbar_visible=1 --for 1000
  check "the close box hides the window" drive post close
  check "... window and taskbar entry gone, program and icon still there" \
    drive wait form_visible=0 taskbar_visible=0 running=1 icon=1

  check "About opens the window again" drive menu-open
  check "... About chosen" drive menu-pick 2
  check "About shows page 2 with a taskbar entry" drive wait form_visible=1 page=2 taskbar_visible=1
  shot page-about
  check "resizing keeps the buttons at the bottom right and stretches the tabs" \
    drive resize 120 80
  shot page-about-resized
  check "... and back" drive resize -120 -80
  check "Enter presses a button, which sends the window back to the tray" drive key enter
  check "... hidden, program still there" drive wait form_visible=0 taskbar_visible=0 running=1

  check "Settings again" drive menu-open
  check "... chosen" drive menu-pick 1
  check "... on the General page" drive wait form_visible=1 page=0
  check "Close from the system menu" drive post sysclose
  check "... hides the window" drive wait form_visible=0 taskbar_visible=0 running=1

  check "About again" drive menu-open
  check "... chosen" drive menu-pick 2
  check "... shown" drive wait form_visible=1 page=2
  check "the minimise button" drive post minimize
  check "... sends the window to the tray" drive wait form_visible=0 taskbar_visible=0 running=1 icon=1

  check "Tell me more" drive menu-open
  check "... chosen" drive menu-pick 0
  check "Tell me more shows another quote at once" drive balloon --other-than "$first" --timeout 8000
  local more
  more="$(reported_quote)"
  check "... a line of quotes.txt" grep -Fxq -- "$more" "$QUOTES"
  shot balloon-more
  check "a click on the balloon withdraws it" drive balloon-click

  check "a shell restart (\"TaskbarCreated\") puts the icon back" drive shell-restart

  check "Exit ends the process and removes the icon" drive exit-via-menu
  end_scenario
}

scenario_no_quotes() {
  echo "== no quotes.txt beside the program"
  local exe
  exe="$(install_copy missing)"
  check "started" drive launch "$exe" --balloon
  check "the balloon says the file could not be found" \
    test "$(reported_quote)" = "Ai. Quotes.txt could not be found!"
  shot balloon-missing
  check "the quote list holds that one line" drive wait rows=1
  check "Exit" drive exit-via-menu
  end_scenario
}

scenario_session_end() {
  echo "== the desktop session ends"
  local exe
  exe="$(install_copy session "$QUOTES")"
  check "started" drive launch "$exe"
  check "the session may end; the program removes its icon itself" drive session-end
  end_scenario
}

scenario_locked_quotes() {
  echo "== quotes.txt held open for writing by another process"
  local exe
  exe="$(install_copy locked "$QUOTES")"
  check "the error box names the file" drive locked-start "$exe"
  shot error-box
  check "OK closes it" drive errorbox-ok
  check "the program goes on, with the icon and an empty quote list" \
    drive wait running=1 icon=1 rows=0
  check "... and stays so for two seconds" drive still running=1 icon=1 rows=0 --for 2000
  check "Exit" drive exit-via-menu
  end_scenario
}

scenario_keyboard() {
  echo "== the keyboard reaches everything"
  local exe
  exe="$(install_copy keyboard "$QUOTES")"
  check "started" drive launch "$exe"
  check "Settings" drive menu-open
  check "... chosen" drive menu-pick 1
  check "shown on the General page, the focus on Cancel, which Enter would press" \
    drive wait form_visible=1 page=0 focus=Cancel default=Cancel
  check "Tab" drive keys tab
  check "... goes to OK" drive wait focus=OK default=OK
  check "Tab" drive keys tab
  check "... goes to the tabs; Enter would press OK again" drive wait focus=tabs default=OK
  shot keyboard-tabs
  check "Tab" drive keys tab
  check "... round to Cancel: the General page has nothing to stop on" drive wait focus=Cancel
  check "Ctrl+Tab" drive keys ctrl+tab
  check "... turns to the Quotes page; the focus stays" drive wait page=1 focus=Cancel list_visible=1
  check "Tab, Tab, Tab" drive keys tab tab tab
  check "... through OK and the tabs into the list" drive wait focus=list default=OK
  shot keyboard-list
  check "Shift+Tab" drive keys shift+tab
  check "... back to the tabs" drive wait focus=tabs
  check "Right on the tabs" drive keys right
  check "... the About page" drive wait page=2 focus=tabs
  check "Ctrl+Shift+Tab" drive keys ctrl+shift+tab
  check "... back to the Quotes page" drive wait page=1
  check "Ctrl+PgDn" drive keys ctrl+pgdn
  check "... the About page" drive wait page=2
  check "Ctrl+PgUp" drive keys ctrl+pgup
  check "... the Quotes page" drive wait page=1
  check "Escape" drive keys escape
  check "... does nothing: the window stays shown for a second" \
    drive still form_visible=1 page=1 --for 1000
  check "Alt+O" drive keys alt+o
  check "... presses OK: back to the tray" drive wait form_visible=0 taskbar_visible=0 running=1
  check "Settings again" drive menu-open
  check "... chosen" drive menu-pick 1
  check "... shown" drive wait form_visible=1 page=0
  check "Alt+C" drive keys alt+c
  check "... presses Cancel: back to the tray" drive wait form_visible=0 running=1
  check "Exit" drive exit-via-menu
  end_scenario
}

scenario_any_folder() {
  local folder="Цитаты-名言" exe lines
  echo "== a folder named in Cyrillic and Chinese on a Western system ($folder)"
  lines="$(awk 'END{print NR}' "$QUOTES")"
  exe="$(install_copy "$folder" "$QUOTES")"
  check "started" drive launch "$exe" --balloon
  check "the balloon shows a line of quotes.txt, not \"could not be found\"" \
    grep -Fxq -- "$(reported_quote)" "$QUOTES"
  check "the quote list holds every line" drive wait rows="$lines"
  check "Exit" drive exit-via-menu
  end_scenario
  check "held open for writing elsewhere: the error box names the file, its folder as it is" \
    drive locked-start "$exe"
  shot error-box-cyrillic
  check "OK closes it" drive errorbox-ok
  check "Exit" drive exit-via-menu
  end_scenario
  # A folder deeper than 260 characters: Wine cannot start a program there at all (its
  # CreateProcess stops at the classic limit), so that case is shown by the Windows tests,
  # which find and read a quotes file 300 characters deep through the program's own calls.
}

scenario_ended_from_outside() {
  echo "== ended from outside: taskkill, an installer or the Restart Manager (WM_CLOSE)"
  local exe
  exe="$(install_copy end-task "$QUOTES")"
  check "started" drive launch "$exe"
  check "WM_CLOSE to the tray window ends the program as Exit does" drive end-task
  end_scenario
  check "started again" drive launch "$exe"
  check "... Settings" drive menu-open
  check "... chosen" drive menu-pick 1
  check "... shown" drive wait form_visible=1
  check "WM_CLOSE to the tray window ends it with the window shown too" drive end-task
  end_scenario
}

scenario_busy_shell() {
  echo "== a shell not ready at logon: the icon is refused for 4 s"
  local exe
  exe="$(install_copy busy-shell "$QUOTES")"
  check "the icon arrives once the shell takes it" drive shell-busy 4000 "$exe"
  check "... and with it the first quote, refused while the icon was not there" \
    drive balloon --timeout 5000
  shot busy-shell-icon
  check "... which a click withdraws" drive balloon-click
  check "... one icon, the program runs on" drive wait running=1 icon=1
  check "Tell me more" drive menu-open
  check "... chosen" drive menu-pick 0
  check "... a quote comes up" drive balloon --timeout 8000
  check "Exit" drive exit-via-menu
  end_scenario
}

scenario_unicode_files() {
  echo "== quotes files in UTF-8, UTF-8 with its mark, UTF-16 LE and BE: é ’ Ж 😀"
  local form exe quote
  local line1="Café au lait, don’t, Жук and 😀" line2="Second: é ’ Ж 😀"
  printf '%s\r\n%s\r\n' "$line1" "$line2" >"$WORK/unicode-utf8.txt"
  for form in utf8 utf8-mark utf16le utf16be; do
    case "$form" in
      utf8) cp "$WORK/unicode-utf8.txt" "$WORK/quotes-$form.txt" ;;
      utf8-mark) { printf '\xEF\xBB\xBF'; cat "$WORK/unicode-utf8.txt"; } >"$WORK/quotes-$form.txt" ;;
      utf16le) { printf '\xFF\xFE'; iconv -f UTF-8 -t UTF-16LE "$WORK/unicode-utf8.txt"; } \
        >"$WORK/quotes-$form.txt" ;;
      utf16be) { printf '\xFE\xFF'; iconv -f UTF-8 -t UTF-16BE "$WORK/unicode-utf8.txt"; } \
        >"$WORK/quotes-$form.txt" ;;
    esac
    exe="$(install_copy "unicode-$form" "$WORK/quotes-$form.txt")"
    check "$form: started, the first quote comes up" drive launch "$exe" --balloon
    quote="$(reported_quote)"
    check "$form: the balloon shows every character (\"$quote\")" \
      test "$quote" = "$line1" -o "$quote" = "$line2"
    [ "$form" = utf16le ] && shot balloon-unicode
    check "$form: Settings" drive menu-open
    check "... chosen" drive menu-pick 1
    check "... the Quotes tab" drive tab 1
    check "... shows two rows" drive wait page=1 rows=2
    drive list-rows 2 >/dev/null
    check "$form: the Quotes page lists both lines whole, no mark before the first" \
      test "$(sed -n 's/^row: //p' "$DRIVER_OUT" | tr -d '\r')" = "$(printf '%s\n%s' "$line1" "$line2")"
    [ "$form" = utf16le ] && shot page-quotes-unicode
    check "Exit" drive exit-via-menu
    end_scenario
  done
}

scenario_second_start() {
  echo "== Zanto started again while it runs: one program, its window in front"
  local exe elsewhere
  exe="$(install_copy second "$QUOTES")"
  elsewhere="$(install_copy "second/from another folder" "$QUOTES")"
  check "started" drive launch "$exe" --balloon
  check "started again from the same folder: it ends with 0 and hands over" \
    drive second-start "$exe"
  check "... the window on the General page, one icon, a taskbar entry" \
    drive wait form_visible=1 page=0 icon=1 taskbar_visible=1
  shot second-start
  check "About chosen from the tray menu" drive menu-open
  check "... picked" drive menu-pick 2
  check "... the About page" drive wait form_visible=1 page=2
  check "started again from another folder, another program's window in front" \
    drive second-start "$elsewhere" --behind
  check "... the window turned to the General page" drive wait form_visible=1 page=0 icon=1
  check "back to the tray, then started again" drive post close
  check "... hidden" drive wait form_visible=0 running=1
  check "... started again: the window comes back" drive second-start "$exe"
  check "Exit" drive exit-via-menu
  end_scenario
}

# Printed, not asserted: the list asks for its rows as they are drawn, so a million quotes
# cost no more to show than ten.
scenario_timing() {
  echo "== window creation and first show: 10 quotes against 1,000,000 (printed, not checked)"
  awk 'BEGIN { for (i = 1; i <= 10; i++) printf "Quote %d of ten.\r\n", i }' >"$WORK/ten.txt"
  awk 'BEGIN { for (i = 1; i <= 1000000; i++) printf "Quote %d of a million.\r\n", i }' \
    >"$WORK/million.txt"
  local n exe start show summary=""
  for n in 10 1000000; do
    if [ "$n" = 10 ]; then
      exe="$(install_copy ten "$WORK/ten.txt")"
    else
      exe="$(install_copy million "$WORK/million.txt")"
    fi
    check "$n quotes: started, the list holds $n rows" drive launch "$exe" --rows "$n"
    start="$(reported_ms)"
    check "... Settings" drive menu-open
    check "... chosen" drive menu-pick 1
    check "... first show" drive wait form_visible=1 page=0
    show="$(reported_ms)"
    summary="$summary$(printf '\n        %7d quotes: start to loaded list %5d ms, Settings to visible window %4d ms' "$n" "$start" "$show")"
    check "... Exit" drive exit-via-menu
    end_scenario
  done
  echo "  timings:$summary"
}

prepare_prefix || exit 1
echo "== Wine $(wine --version 2>/dev/null), prefix ready after $((SECONDS - STARTED)) s"
scenario_normal_use
scenario_no_quotes
scenario_session_end
scenario_locked_quotes
scenario_keyboard
scenario_any_folder
scenario_ended_from_outside
scenario_busy_shell
scenario_second_start
scenario_unicode_files
scenario_timing

echo "== end to end under Wine: $((SECONDS - STARTED)) s; screenshots in out/"
tally e2e
