#!/usr/bin/env bash
# Draws the application icon (a white tide line over a blue rounded square, the title-area
# gradient) and writes data/art/tidemark.ico with 16, 32 and 48 pixel images.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One period of a sine wave across the square: the tide line.
# Drawn as a chain of discs, which gives round ends and an even width.
wave=$(awk 'BEGIN { for (x = 40; x <= 216; x += 2) { y = 130 - 34 * sin((x - 40) / 176 * 6.2832); printf "circle %d,%d %d,%d ", x, y, x + 10, y } }')
convert -size 256x256 xc:none \
  \( -size 256x256 gradient:'#2B7BD6-#1C5FB0' \) \
  \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 48,48' \) \
  -delete 0 -alpha off -compose CopyOpacity -composite \
  -fill white -draw "$wave" \
  -fill '#EAF3FC' -draw 'roundrectangle 56,190 200,202 6,6' \
  "$work/big.png"
for s in 16 32 48; do convert "$work/big.png" -resize ${s}x${s} "$work/i$s.png"; done
convert "$work/i16.png" "$work/i32.png" "$work/i48.png" "$top/data/art/tidemark.ico"
echo "wrote $top/data/art/tidemark.ico"
