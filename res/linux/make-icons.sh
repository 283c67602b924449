#!/usr/bin/env bash
# Draws the program's icon for Linux desktops (a yellow speech bubble with a Z, the
# picture of the Windows icon) as PNG files of 16, 32 and 64 pixels, and writes them
# beside this script. Needs ImageMagick 6 (`convert`). The PNG files are committed; run
# this only to change the picture.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || { echo "needs ImageMagick's convert" >&2; exit 1; }

fill='#FFD75E'
ink='#4A3200'

# Each size on its own grid, so that the small ones stay sharp.
"$convert_bin" -size 64x64 xc:none \
  -fill "$fill" -stroke "$ink" -strokewidth 3 \
  -draw "polygon 14,38 11,61 35,38" \
  -draw "roundrectangle 2,4 61,43 13,13" \
  -stroke none -draw "polygon 16,35 14,55 31,35" \
  -fill none -stroke "$ink" -strokewidth 4 -draw "stroke-linejoin round stroke-linecap round polyline 20,14 43,14 20,33 43,33" \
  "$here/zanto-64.png"

"$convert_bin" -size 32x32 xc:none \
  -fill "$fill" -stroke "$ink" -strokewidth 2 \
  -draw "polygon 7,18 6,30 17,18" \
  -draw "roundrectangle 1,2 30,21 7,7" \
  -stroke none -draw "polygon 8,17 7.5,27 15.5,17" \
  -fill none -stroke "$ink" -strokewidth 2 -draw "polyline 10,7 21,7 10,16 21,16" \
  "$here/zanto-32.png"

"$convert_bin" -size 16x16 xc:none +antialias \
  -fill "$fill" -stroke "$ink" -strokewidth 1 \
  -draw "polygon 3,9 3,15 8,9" \
  -draw "roundrectangle 0,1 15,10 3,3" \
  -stroke none -draw "polygon 4,9 4,13 7,9" \
  -fill none -stroke "$ink" -strokewidth 1 -draw "polyline 5,3 10,3 5,8 10,8" \
  "$here/zanto-16.png"
echo "wrote $here/zanto-{16,32,64}.png"
