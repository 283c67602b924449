#!/usr/bin/env bash
# Checks the built zanto.exe as shipped: small, self-contained, hardened.
#
#   e2e/check-exe.sh BUILD_DIR
#
# - under 300 KB, with no iostreams linked in (they alone would add ~700 KB);
# - a Windows GUI program that imports system DLLs only (no runtime DLL beside it);
# - ASLR with high entropy (DYNAMIC_BASE, HIGH_ENTROPY_VA, and relocations to move with),
#   DEP (NX_COMPAT);
# - its resources: the common controls v6 manifest, the version resource with its publisher,
#   quotes.txt beside.
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
BIN="$1/src/platform/win32"
EXE="$BIN/zanto.exe"
OBJDUMP="${OBJDUMP:-x86_64-w64-mingw32-objdump}"
STRINGS="${STRINGS:-x86_64-w64-mingw32-strings}"
command -v "$STRINGS" >/dev/null || STRINGS=strings
MAX_BYTES=$((300 * 1024))

[ -f "$EXE" ] || { echo "missing $EXE (build first)" >&2; exit 2; }

. "$(dirname "$0")/checks.sh"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
"$OBJDUMP" -p "$EXE" >"$tmp/headers" || { echo "objdump failed" >&2; exit 1; }
"$OBJDUMP" -h "$EXE" >"$tmp/sections"
"$STRINGS" -a "$EXE" >"$tmp/strings"
"$STRINGS" -a -e l "$EXE" >"$tmp/strings16"
"${WINDRES:-x86_64-w64-mingw32-windres}" -i "$EXE" -O rc >"$tmp/resources" 2>/dev/null

size=$(stat -c %s "$EXE")
echo "== $EXE: $size bytes"
check "smaller than 300 KB ($size < $MAX_BYTES bytes)" test "$size" -lt "$MAX_BYTES"
check "no iostreams linked in" bash -c "! grep -Eq 'basic_ios|ios_base' '$tmp/strings'"

check "a Windows GUI program" grep -Eq '^Subsystem[[:space:]]+00000002' "$tmp/headers"

# The DLLs every Windows has in System32 and that the program may use.
system_dlls='^(kernel32|user32|gdi32|shell32|comctl32|advapi32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$tmp/headers" | tr 'A-Z' 'a-z' | sort -u)
echo "  imports: $(echo $imports)"
foreign=$(echo "$imports" | grep -Ev "$system_dlls" || true)
check "imports system DLLs only${foreign:+ (not: $(echo $foreign))}" test -z "$foreign"
check "no C++ runtime or threads DLL needed" \
  bash -c "! echo '$imports' | grep -Eq 'libstdc|libgcc|libwinpthread'"

for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  check "PE flag $flag" grep -Eq "^[[:space:]]+$flag\$" "$tmp/headers"
done
check "relocations kept, so that ASLR can move the image" grep -q '\.reloc' "$tmp/sections"

check "manifest: common controls v6" grep -q 'Microsoft.Windows.Common-Controls' "$tmp/strings"
check "manifest: asInvoker" grep -q 'level="asInvoker"' "$tmp/strings"
check "manifest: per-monitor DPI awareness" grep -q 'PerMonitorV2' "$tmp/strings"
check "manifest: paths beyond 260 characters" grep -q "<longPathAware[^>]*>true<" "$tmp/strings"
check "version resource: FileDescription Zanto" grep -qx 'Zanto' "$tmp/strings16"
check "version resource: version 0.1.0.0" grep -qx '0.1.0.0' "$tmp/strings16"
# The installer's Apps & Features entry names the same publisher (e2e/install/run.sh).
check "version resource: CompanyName Mira Castell, its publisher" \
  grep -q 'VALUE "CompanyName", "Mira Castell"' "$tmp/resources"
check "quotes.txt beside the exe" test -s "$BIN/quotes.txt"

tally check-exe
