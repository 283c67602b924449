#!/usr/bin/env bash
# Draws the program icon (a speech bubble with a Z) at 16, 20, 24 and 32 pixels and writes
# res/zanto.ico. Needs ImageMagick 6 (`convert`). The .ico is committed; run this only to
# change the picture.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || convert_bin=convert
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

fill='#FFD75E'
ink='#4A3200'

# Each size is drawn on its own grid so that the small one stays sharp.
"$convert_bin" -size 32x32 xc:none \
  -fill "$fill" -stroke "$ink" -strokewidth 2 \
  -draw "polygon 7,18 6,30 17,18" \
  -draw "roundrectangle 1,2 30,21 7,7" \
  -stroke none -draw "polygon 8,17 7.5,27 15.5,17" \
  -fill none -stroke "$ink" -strokewidth 2 \
  -draw "line 10,7 21,7" -draw "line 20,8 11,15" -draw "line 10,16 21,16" \
  "$tmp/32.png"

"$convert_bin" -size 16x16 xc:none +antialias \
  -fill "$fill" -stroke "$ink" -strokewidth 1 \
  -draw "polygon 3,9 3,15 8,9" \
  -draw "roundrectangle 0,1 15,10 3,3" \
  -stroke none -draw "polygon 4,9 4,13 7,9" \
  -fill none -stroke "$ink" -strokewidth 1 \
  -draw "polyline 5,3 10,3 5,8 10,8" \
  "$tmp/16.png"

# The tray draws the small icon at 20 and 24 pixels on monitors of 125 % and 150 %: those
# sizes come from the large picture, so that Windows need not stretch the small one.
"$convert_bin" "$tmp/32.png" -filter Lanczos -resize 24x24 "$tmp/24.png"
"$convert_bin" "$tmp/32.png" -filter Lanczos -resize 20x20 "$tmp/20.png"

"$convert_bin" "$tmp/16.png" "$tmp/20.png" "$tmp/24.png" "$tmp/32.png" "$here/zanto.ico"
"$convert_bin" "$tmp/32.png" -scale 400% "$tmp/preview32.png"
echo "wrote $here/zanto.ico"
