#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix and a private X display.
#
#   [ZANTO_E2E_SIGNED_BY=CA.pem] e2e/install/run.sh DIST_DIR BUILD_DIR
#
# DIST_DIR: what scripts/package.sh made (the installer and the portable zip).
# BUILD_DIR: a finished mingw-w64 build (e.g. build-win): its zanto-driver.exe reads the
# balloons and icons, and its zanto.exe goes into an "older" installer to upgrade from.
# ZANTO_E2E_SIGNED_BY: the certificate authority of the certificate scripts/package.sh signed
# the downloads with (test.sh makes a throwaway one: e2e/install/test-certificate.sh); then
# the installer, zanto.exe and the installed uninstaller must carry its signatures. Unset, the
# downloads must be unsigned, all of them.
#
# Checks the installer's version resource and the signatures of what it ships and
# installs; installs silently and checks the files, the Start-menu shortcut, the Run and Uninstall
# entries; starts Zanto from the Run entry's own command line; upgrades while Zanto runs
# (an unedited quotes.txt is replaced, an edited one kept, the user's choices kept);
# uninstalls; then goes through the installer's and uninstaller's pages as a user would,
# with screenshots of each page in out/installer-*.png.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 DIST_DIR BUILD_DIR" >&2
  exit 2
fi
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
DIST="$(cd "$1" && pwd)" || exit 2
BUILD="$(cd "$2" && pwd)" || exit 2
SIGNED_BY="${ZANTO_E2E_SIGNED_BY:+$(realpath -- "$ZANTO_E2E_SIGNED_BY")}"
if [ -n "$SIGNED_BY" ] && [ ! -r "$SIGNED_BY" ]; then
  echo "cannot read ZANTO_E2E_SIGNED_BY=$ZANTO_E2E_SIGNED_BY" >&2
  exit 2
fi

. "$ROOT/e2e/checks.sh"
in_private_display "$0" "$DIST" "$BUILD"

WORK="$BUILD/install-e2e"
LOGS="$WORK/logs"
OUT="$ROOT/out"
# Always a prefix of its own, made anew: what a first install finds.
export WINEPREFIX_ZANTO="$WORK/prefix"
export ZANTO_E2E_FRESH_PREFIX=1
. "$ROOT/e2e/wine-env.sh"

SETUP="$(ls "$DIST"/zanto-*-win64-setup.exe 2>/dev/null | head -1)"
ZIP="$(ls "$DIST"/zanto-*-win64-portable.zip 2>/dev/null | head -1)"
[ -f "$SETUP" ] && [ -f "$ZIP" ] || { echo "no installer or zip in $DIST" >&2; exit 2; }
VERSION="$(basename "$SETUP")"
VERSION="${VERSION#zanto-}"
VERSION="${VERSION%-win64-setup.exe}"
for f in "$BUILD/src/platform/win32/zanto-driver.exe" "$BUILD/src/platform/win32/zanto.exe"; do
  [ -f "$f" ] || { echo "missing $f (build first)" >&2; exit 2; }
done

STARTED=$SECONDS
# The prefix (about 700 MB) is made anew by every run: nothing of it is worth keeping.
teardown() {
  timeout 20 wineserver -k >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
}
trap teardown EXIT
rm -rf "$WORK"
mkdir -p "$WORK" "$LOGS" "$OUT"
rm -f "$OUT"/installer-*.png

# The probe: a small Win32 program of this test (setup-probe.cpp), built with the driver.
PROBE_EXE="$BUILD/src/platform/win32/setup-probe.exe"
[ -f "$PROBE_EXE" ] || { echo "missing $PROBE_EXE (build $BUILD first)" >&2; exit 2; }

PROBE="$(winpath "$PROBE_EXE")"
DRIVER="$(winpath "$BUILD/src/platform/win32/zanto-driver.exe")"
REPORT="$LOGS/report.out"

# Runs a Windows command; its report is indented under the check. Wine's output is never
# read through a pipe: wineserver and explorer would inherit it and keep it open.
win() {
  timeout 200 wine "$@" >"$REPORT" 2>>"$LOGS/wine.err"
  local rc=$?
  sed 's/\r$//; s/^ */      /' "$REPORT"
  return $rc
}
probe() { win "$PROBE" "$@"; }
drive() { win "$DRIVER" "$@"; }
reported() { sed 's/\r$//' "$REPORT"; }
reported_quote() { sed -n 's/.*: "\(.*\)"\r*$/\1/p' "$REPORT" | tail -1; }

# Where things land: the Unix side of the user's folders in the prefix.
USER_DIR="$WINEPREFIX/drive_c/users/$(id -un)"
INSTALL_DIR="$USER_DIR/AppData/Local/Programs/Zanto"
SHORTCUT="$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zanto.lnk"
WIN_INSTALL_DIR="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Zanto"
WIN_EXE="$WIN_INSTALL_DIR\\zanto.exe"
UNINSTALL_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zanto'
RUN_KEY='Software\Microsoft\Windows\CurrentVersion\Run'

# The shipped files, as the portable zip has them.
unzip -q -o "$ZIP" -d "$WORK/shipped" || exit 1
SHIPPED_QUOTES="$WORK/shipped/quotes.txt"

# An older release to upgrade from: the same program with other quotes, built without a
# certificate.
printf 'An old quote, the first.\r\nAn old quote, the second.\r\nAn old quote, the third.\r\n' \
  >"$WORK/old-quotes.txt"
OLD_SETUP="$WORK/zanto-0.0.1-win64-setup.exe"
env -u ZANTO_SIGN_PKCS12 "$ROOT/packaging/windows/build-installer.sh" 0.0.1 "$BUILD/src/platform/win32/zanto.exe" \
  "$WORK/old-quotes.txt" "$OLD_SETUP" || exit 1

value_of() { sed -n "s/^$1=//p" "$REPORT" | sed 's/\r$//'; }
# installed_files: the names in the installation folder, sorted, on one line.
installed_files() { (cd "$INSTALL_DIR" 2>/dev/null && ls -A | sort | tr '\n' ' ' | sed 's/ $//'); }
run_entry() {
  probe reg "$RUN_KEY" >/dev/null
  value_of Zanto
}
no_uninstall_entry() { ! probe reg "$UNINSTALL_KEY" >/dev/null; }
no_run_entry() { [ -z "$(run_entry)" ]; }
same_file() { cmp -s "$1" "$2"; }
balloon_is_line_of() { tr -d '\r' <"$1" | grep -Fxq -- "$(reported_quote)"; }
# What osslsigncode makes of a file's Authenticode signature, in $LOGS/verify.out.
# signed_by_release FILE: signed, the digest matches the file, and the chain leads to the
# authority in ZANTO_E2E_SIGNED_BY.
signed_by_release() {
  osslsigncode verify -in "$1" -CAfile "$SIGNED_BY" >"$LOGS/verify.out" 2>&1 &&
    grep -q '^Signature verification: ok' "$LOGS/verify.out"
}
# signature_intact_but_untrusted FILE: the signature matches the file, but the system's
# authorities do not know its signer, as it is with a throwaway certificate.
signature_intact_but_untrusted() {
  ! osslsigncode verify -in "$1" >"$LOGS/verify.out" 2>&1 &&
    grep -q '^Signature verification: failed' "$LOGS/verify.out" &&
    [ "$(sed -n 's/^Current message digest *: *//p' "$LOGS/verify.out")" = \
      "$(sed -n 's/^Calculated message digest *: *//p' "$LOGS/verify.out")" ]
}
unsigned() {
  ! osslsigncode verify -in "$1" >"$LOGS/verify.out" 2>&1 &&
    grep -q '^No signature found' "$LOGS/verify.out"
}
# A copy of FILE with one byte of its middle changed.
tampered() {
  local copy="$WORK/tampered-$(basename "$1")" middle
  cp "$1" "$copy"
  middle=$(($(stat -c %s "$copy") / 2))
  printf '\x5a' | dd of="$copy" bs=1 seek="$middle" conv=notrunc status=none
  cmp -s "$1" "$copy" && printf '\xa5' | dd of="$copy" bs=1 seek="$middle" conv=notrunc status=none
  echo "$copy"
}
version_value() {
  x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n "s/^ *VALUE \"$2\", \"\(.*\)\"$/\1/p"
}

# within SECONDS COMMAND...: polls until the command succeeds; fails once the time is up.
within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
# The uninstaller goes on from a copy of itself after the command that started it returns.
uninstaller_gone() { within 30 test ! -e "$INSTALL_DIR/uninstall.exe"; }

# shot NAME TEXT [ACTIVE_TEXT]: the window that shows TEXT, with a margin, as a user sees it
# on the desktop: active, or under the active window that shows ACTIVE_TEXT.
shot() {
  local name="$1" text="$2" rect w h x y
  probe front "${3:-$2}" >/dev/null || return 1
  probe window "$text" >/dev/null || return 1
  rect="$(value_of rect)"
  IFS='x+' read -r w h x y <<<"$rect"
  timeout 20 import -window root -crop "$((w + 24))x$((h + 24))+$((x - 12))+$((y - 12))" +repage \
    "$OUT/$name.png" >/dev/null 2>&1 && echo "        screenshot out/$name.png"
}

scenario_silent_install() {
  echo "== a silent install (/S) into a fresh prefix"
  check "the installer is a 64-bit Windows program (a 32-bit one does nothing under this Wine)" \
    grep -q 'file format pei-x86-64' <(x86_64-w64-mingw32-objdump -f "$SETUP")
  check "zanto-$VERSION-win64-setup.exe /S" probe run "$(winpath "$SETUP")" /S
  check "installed: zanto.exe, quotes.txt and the uninstaller, nothing else" \
    test "$(installed_files)" = "quotes.txt uninstall.exe zanto.exe"
  check "... zanto.exe and quotes.txt are the ones shipped" \
    eval 'same_file "$INSTALL_DIR/zanto.exe" "$WORK/shipped/zanto.exe" &&
      same_file "$INSTALL_DIR/quotes.txt" "$SHIPPED_QUOTES"'
  check "a Start-menu shortcut" probe shortcut "$(winpath "$SHORTCUT")"
  check "... that starts zanto.exe" test "$(value_of target)" = "$WIN_EXE"
  check "the Run entry starts it at sign-in" probe reg "$RUN_KEY"
  check "... as \"$WIN_EXE\"" test "$(value_of Zanto)" = "\"$WIN_EXE\""
  check "an entry in Apps & Features" probe reg "$UNINSTALL_KEY"
  check "... name, version $VERSION, publisher" eval '[ "$(value_of DisplayName)" = Zanto ] &&
    [ "$(value_of DisplayVersion)" = "$VERSION" ] && [ "$(value_of Publisher)" = "Mira Castell" ]'
  check "... icon, size, folder and the uninstaller's command lines" eval '
    [ "$(value_of DisplayIcon)" = "$WIN_EXE,0" ] && [ "$(value_of EstimatedSize)" -gt 100 ] &&
    [ "$(value_of InstallLocation)" = "$WIN_INSTALL_DIR" ] &&
    [ "$(value_of UninstallString)" = "\"$WIN_INSTALL_DIR\\uninstall.exe\"" ] &&
    [ "$(value_of QuietUninstallString)" = "\"$WIN_INSTALL_DIR\\uninstall.exe\" /S" ]'
}

scenario_signatures() {
  echo "== the publisher and the signatures"
  check "the installer's version resource names its publisher, Mira Castell" \
    test "$(version_value "$SETUP" CompanyName)" = "Mira Castell"
  check "... as zanto.exe's does" \
    test "$(version_value "$WORK/shipped/zanto.exe" CompanyName)" = "Mira Castell"
  # What a user downloads and what the installer puts on their disk.
  local files=("$SETUP" "$WORK/shipped/zanto.exe" "$INSTALL_DIR/zanto.exe" "$INSTALL_DIR/uninstall.exe")
  local names=("the installer" "zanto.exe of the zip" "the installed zanto.exe" "the installed uninstaller")
  local i
  for i in "${!files[@]}"; do
    if [ -n "$SIGNED_BY" ]; then
      check "${names[$i]}: signed, and the signature verifies" signed_by_release "${files[$i]}"
      check "... by a certificate the system does not trust (a throwaway one)" \
        signature_intact_but_untrusted "${files[$i]}"
    else
      check "${names[$i]}: unsigned, as built without a certificate" unsigned "${files[$i]}"
    fi
  done
  if [ -n "$SIGNED_BY" ]; then
    check "a changed byte breaks the installer's signature" \
      eval '! signed_by_release "$(tampered "$SETUP")"'
  fi
}

scenario_started_at_sign_in() {
  echo "== started as Windows starts it at sign-in: the Run entry's own command line"
  check "started from the Run entry" probe run-entry Zanto
  check "its first quote comes up" drive balloon --timeout 15000
  check "... a line of the installed quotes.txt" balloon_is_line_of "$INSTALL_DIR/quotes.txt"
  timeout 20 import -window root "$OUT/install-first-quote.png" >/dev/null 2>&1 &&
    echo "        screenshot out/install-first-quote.png"
  check "the shell has its icon" drive icon
}

scenario_silent_uninstall() {
  echo "== a silent uninstall while Zanto runs; quotes.txt as installed"
  check "uninstall.exe /S ends Zanto as Exit does" \
    probe ends-zanto "$WIN_INSTALL_DIR\\uninstall.exe" /S
  check "... the uninstaller is done" uninstaller_gone
  check "the installation folder is gone" test ! -e "$INSTALL_DIR"
  check "the Start-menu shortcut is gone" test ! -e "$SHORTCUT"
  check "the Run entry is gone" no_run_entry
  check "the Apps & Features entry is gone" no_uninstall_entry
}

scenario_upgrades() {
  echo "== upgrades while Zanto runs"
  check "an older release (0.0.1) installed silently" probe run "$(winpath "$OLD_SETUP")" /S
  check "... built without a certificate: installer and uninstaller unsigned" \
    eval 'unsigned "$OLD_SETUP" && unsigned "$INSTALL_DIR/uninstall.exe"'
  check "... started from its Run entry" probe run-entry Zanto
  check "... shows one of its own quotes" drive balloon --timeout 15000
  check "... a line of the old quotes.txt" balloon_is_line_of "$WORK/old-quotes.txt"
  # What the shell showed last: a balloon of the program that ends must not pass for the next.
  local shown
  shown="$(reported_quote)"

  check "the upgrade to $VERSION ends the running Zanto as Exit does, then starts it again" \
    probe ends-zanto "$(winpath "$SETUP")" /S
  check "... a new Zanto runs" grep -q '^a new Zanto runs' <(reported)
  check "the old quotes.txt, never edited, is replaced by the new one" \
    same_file "$INSTALL_DIR/quotes.txt" "$SHIPPED_QUOTES"
  check "... and the Zanto started again reads it" \
    drive balloon --other-than "$shown" --timeout 15000
  check "... a line of the new quotes.txt" balloon_is_line_of "$SHIPPED_QUOTES"
  shown="$(reported_quote)"
  check "Apps & Features says $VERSION" eval 'probe reg "$UNINSTALL_KEY" >/dev/null &&
    [ "$(value_of DisplayVersion)" = "$VERSION" ]'

  # The user makes the quotes their own and turns off the shortcut and the start at sign-in.
  printf 'My own quote, and only mine.\r\n' >"$INSTALL_DIR/quotes.txt"
  cp "$INSTALL_DIR/quotes.txt" "$WORK/edited-quotes.txt"
  rm -f "$SHORTCUT"
  win reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Zanto /f >/dev/null
  check "the user edited quotes.txt, removed the shortcut and the Run entry" no_run_entry
  check "installing again ends the running Zanto as Exit does" \
    probe ends-zanto "$(winpath "$SETUP")" /S
  check "the edited quotes.txt is kept, byte for byte" \
    same_file "$INSTALL_DIR/quotes.txt" "$WORK/edited-quotes.txt"
  check "... and the Zanto started again shows the user's quote" \
    drive balloon --other-than "$shown" --timeout 15000
  check "... \"My own quote, and only mine.\"" \
    test "$(reported_quote)" = "My own quote, and only mine."
  check "the removed shortcut stays removed" test ! -e "$SHORTCUT"
  check "the start at sign-in stays off" no_run_entry

  check "a silent uninstall ends it as Exit does" \
    probe ends-zanto "$WIN_INSTALL_DIR\\uninstall.exe" /S
  check "... the uninstaller is done" uninstaller_gone
  check "only the edited quotes.txt is left" test "$(installed_files)" = "quotes.txt"
  check "... as the user left it" same_file "$INSTALL_DIR/quotes.txt" "$WORK/edited-quotes.txt"
  check "no shortcut, Run or Apps & Features entry" eval '[ ! -e "$SHORTCUT" ] && no_run_entry &&
    no_uninstall_entry'
}

scenario_pages() {
  echo "== the installer's pages, as a user goes through them (over the kept quotes.txt)"
  check "the installer starts" probe start "$(winpath "$SETUP")"
  check "the welcome page" probe window "Welcome to Zanto $VERSION Setup"
  shot installer-1-welcome "Welcome to Zanto"
  check "Next" probe press "Welcome to Zanto" "Next >"
  check "the components: Zanto, the shortcut, the start at sign-in" \
    probe window "Choose Components"
  shot installer-2-components "Choose Components"
  check "Next" probe press "Choose Components" "Next >"
  check "the folder: the user's own programs folder" probe window "$WIN_INSTALL_DIR"
  shot installer-3-folder "Choose Install Location"
  check "Install" probe press "Choose Install Location" "Install"
  check "the last page offers to run Zanto" probe window "Run Zanto"
  shot installer-4-finish "Run Zanto"
  check "Finish" probe press "Run Zanto" "Finish"
  check "Zanto runs, with its icon" drive wait running=1 icon=1 --timeout 15000
  check "... and shows the user's quote, kept" drive balloon --timeout 15000
  check "... \"My own quote, and only mine.\"" \
    test "$(reported_quote)" = "My own quote, and only mine."
  check "the shortcut and the start at sign-in are back (ticked on the page)" \
    eval '[ -e "$SHORTCUT" ] && [ -n "$(run_entry)" ]'

  echo "== the uninstaller's pages"
  check "the uninstaller starts" probe start "$WIN_INSTALL_DIR\\uninstall.exe"
  check "it names the folder" probe window "Uninstall Zanto $VERSION"
  shot installer-5-uninstall "Uninstall Zanto"
  check "Uninstall" probe press "Uninstall Zanto" "Uninstall"
  check "it asks before removing the edited quotes.txt" probe window "Remove it as well?"
  shot installer-6-uninstall-quotes "Please wait while" "Remove it as well?"
  check "Yes" probe press "Remove it as well?" "Yes"
  check "the last page" probe window "has been uninstalled"
  shot installer-7-uninstall-finish "has been uninstalled"
  check "Finish" probe press "has been uninstalled" "Finish"
  check "... the uninstaller is gone" probe gone "has been uninstalled"
  check "Zanto ended" drive wait running=0
  check "nothing of it is left: folder, shortcut, Run and Apps & Features entries" \
    eval 'uninstaller_gone && [ ! -e "$INSTALL_DIR" ] && [ ! -e "$SHORTCUT" ] && no_run_entry &&
      no_uninstall_entry'
}

prepare_prefix || exit 1
echo "== Wine $(wine --version 2>/dev/null), fresh prefix ready after $((SECONDS - STARTED)) s"
scenario_silent_install
scenario_signatures
scenario_started_at_sign_in
scenario_silent_uninstall
scenario_upgrades
scenario_pages
drive kill >/dev/null

echo "== the Windows installer under Wine: $((SECONDS - STARTED)) s; screenshots in out/"
tally installer
