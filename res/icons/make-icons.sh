#!/usr/bin/env bash
# Renders the application icon's large sizes for the hicolor icon theme from its SVG
# (hicolor/scalable/apps/org.example.zanto.Zanto.svg, the picture of res/linux/make-icons.sh
# and the Windows icon): 128 and 256 pixels, beside it under hicolor/. Needs rsvg-convert
# (Debian's librsvg2-bin). The PNG files are committed; run this only to change the picture.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
command -v rsvg-convert >/dev/null || { echo "needs rsvg-convert (librsvg2-bin)" >&2; exit 1; }
svg="$here/hicolor/scalable/apps/org.example.zanto.Zanto.svg"
for size in 128 256; do
  mkdir -p "$here/hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$here/hicolor/${size}x${size}/apps/org.example.zanto.Zanto.png"
done
echo "wrote $here/hicolor/{128x128,256x256}/apps/org.example.zanto.Zanto.png"
