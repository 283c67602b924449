# Sourced by the scripts of e2e/: a quiet, private Wine for zanto.exe.
# Needs BUILD (the build directory) and LOGS (a directory for logs) to be set.

export WINEPREFIX="${WINEPREFIX_ZANTO:-$BUILD/e2e/prefix}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts, no desktop menu entries written to the user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=d;winemenubuilder.exe=d"
# Keeps Wine from starting a D-Bus daemon that would outlive it.
export DBUS_SESSION_BUS_ADDRESS=disabled:
# Unix names in any script reach Windows programs whole (folder names, command lines); the
# Windows side stays a Western system (code page 1252).
export LC_ALL=C.UTF-8

# A Windows path for a file of ours (Wine maps the Unix root to Z:).
winpath() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

# Creates the prefix once (about 10 s): one shared virtual desktop with a taskbar, so that
# every process of the prefix sees the same windows and the notification area.
# Set ZANTO_E2E_FRESH_PREFIX=1 to create it anew.
prepare_prefix() {
  if [ -z "${ZANTO_E2E_FRESH_PREFIX:-}" ] && [ -f "$WINEPREFIX/.zanto-e2e-ready" ] &&
    [ -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    return 0
  fi
  echo "== creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")" "$LOGS"
  timeout 300 wineboot -i >"$LOGS/wineboot.log" 2>&1 || {
    echo "wineboot failed:" >&2
    tail -20 "$LOGS/wineboot.log" >&2
    return 1
  }
  cat >"$LOGS/desktop.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
  timeout 60 wine regedit /S "$(winpath "$LOGS/desktop.reg")" >"$LOGS/regedit.log" 2>&1 ||
    { echo "regedit failed" >&2; return 1; }
  timeout 20 wineserver -k >/dev/null 2>&1
  # The faces Windows programs take for granted (Marlett for the title-bar buttons, Tahoma,
  # MS Sans Serif). Debian's fonts-wine ships them, but this Wine does not look in its own
  # data folder for them: the prefix's Fonts folder is where every Wine finds them.
  local fonts=/usr/share/wine/fonts
  if [ -f "$fonts/marlett.ttf" ]; then
    cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"
  else
    echo "warning: $fonts/marlett.ttf is missing (Debian package fonts-wine)" >&2
  fi
  touch "$WINEPREFIX/.zanto-e2e-ready"
}
