#!/usr/bin/env bash
# Builds the Windows installer with NSIS (Debian's nsis, makensis) from a built zanto.exe.
# Needs ImageMagick's convert for the installer's picture. With ZANTO_SIGN_PKCS12 set, the
# uninstaller and the installer are signed as they are made (packaging/windows/sign.sh says
# how).
# usage: packaging/windows/build-installer.sh VERSION ZANTO_EXE QUOTES_TXT OUT_EXE
# VERSION is the one people read (0.1); Windows' version resources get it in four parts.
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: $0 VERSION ZANTO_EXE QUOTES_TXT OUT_EXE" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
version="$1"
exe="$(realpath "$2")"
quotes="$(realpath "$3")"
out="$(realpath -m "$4")"

IFS=. read -r -a parts <<<"$version"
while [ ${#parts[@]} -lt 4 ]; do parts+=(0); done
version4="$(IFS=.; echo "${parts[*]:0:4}")"
hash="$(sha256sum "$quotes" | cut -d' ' -f1)"

mkdir -p "$(dirname "$out")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The picture of the first and last pages: the program's speech bubble (drawn as
# res/linux/make-icons.sh draws it, at twice the size of the largest icon) on warm paper.
convert -size 164x314 gradient:'#FFFBEA'-'#FFE7A0' \
  \( -size 128x128 xc:none -fill '#FFD75E' -stroke '#4A3200' -strokewidth 6 \
  -draw "polygon 28,76 22,122 70,76" \
  -draw "roundrectangle 4,8 122,86 26,26" \
  -stroke none -draw "polygon 32,70 28,110 62,70" \
  -fill none -stroke '#4A3200' -strokewidth 8 \
  -draw "stroke-linejoin round stroke-linecap round polyline 40,28 86,28 40,66 86,66" \) \
  -gravity north -geometry +0+40 -composite -type TrueColor "BMP3:$work/wizard.bmp"
# The installer keeps the time of every file it carries, this one too.
touch -d "@${SOURCE_DATE_EPOCH:-0}" "$work/wizard.bmp"

sign=()
[ -n "${ZANTO_SIGN_PKCS12:-}" ] && sign=("-DSIGN=$here/sign.sh")

# Warnings are errors: a page or string that does not come out as meant is a broken installer.
makensis -V2 -WX -INPUTCHARSET UTF8 \
  "-DVERSION=$version" "-DVERSION4=$version4" "-DEXE=$exe" "-DQUOTES=$quotes" \
  "-DQUOTES_SHA256=$hash" "-DICON=$repo/res/zanto.ico" \
  "-DWIZARD_BITMAP=$work/wizard.bmp" "-DOUTFILE=$out" "${sign[@]}" \
  "$here/zanto.nsi"
