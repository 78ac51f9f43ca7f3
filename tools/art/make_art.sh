#!/usr/bin/env bash
# Draws the skinned window's pictures into data/art/: the top tabs (both scripts), the start
# and action button faces, the list header bar, the score panel, the two busy spinners and the
# hand cursor. The drawing is in skin_art.py and hand_cursor.py beside this script; the files
# are committed, so the build never runs this.
# Afterwards it puts everything on one contact sheet, twice the size, for looking at:
# /tmp/tidemark-art-sheet.png (or the path given as the first argument).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
art="$top/data/art"
sheet=${1:-/tmp/tidemark-art-sheet.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/skin_art.py" "$top"
python3 "$here/hand_cursor.py" "$art/hand.cur" "$work/hand.ppm"
echo "wrote $art/tabs (48 faces), $art/buttons (8 faces), Headtable.png, ScoreBG.png, ScoreBG_CHT.png, waitfor.gif, g_Loading.gif, hand.cur"

# --- contact sheet ---
# Each tab row on the whole title band (rows 0..103, as the program paints it) with the faces
# at y = 35, so seams against the painted gradient show.
band=$(awk 'BEGIN { for (y = 0; y < 104; y++) { t = y / 104;
  printf "%d %d %d\n", int(43 + (28 - 43) * t + 0.5), int(123 + (95 - 123) * t + 0.5), int(214 + (176 - 214) * t + 0.5) } }')
{ printf 'P3\n1 104\n255\n'; echo "$band"; } > "$work/band.ppm"
groups="ClearRbt ClearFileSys CurrentClear ClearReg standard SetCenter"
rows=()
for suffix in "" _CHT; do
  for d in 1 2 3 4; do
    files=()
    for g in $groups; do files+=("$art/tabs/My$g$d${suffix}bmp.bmp"); done
    convert "$work/band.ppm" -scale 552x104! \( "${files[@]}" +append \) -geometry +0+35 -composite \
      -fill white -font DejaVu-Sans -pointsize 9 -annotate +4+12 "face $d${suffix:- (simplified)}" \
      "$work/tabs$suffix$d.png"
    rows+=("$work/tabs$suffix$d.png")
  done
done
convert "${rows[@]}" -background '#808080' -splice 0x4 -append "$work/tabs.png"
convert "$art/buttons/Start1.bmp" "$art/buttons/Start2.bmp" "$art/buttons/Start3.bmp" "$art/buttons/Start4.bmp" \
  -bordercolor white -border 6 +append "$work/starts.png"
convert "$art/buttons/Action1.bmp" "$art/buttons/Action2.bmp" "$art/buttons/Action3.bmp" "$art/buttons/Action4.bmp" \
  -bordercolor '#EAF3FC' -border 6 +append "$work/actions.png"
convert "$art/Headtable.png" -scale 200x24! "$work/head.png"
convert "$art/ScoreBG.png" "$art/ScoreBG_CHT.png" -bordercolor white -border 6 +append "$work/scores.png"
convert "$work/hand.ppm" -bordercolor '#c8a0c8' -border 4 "$work/hand.png"
convert "$art/waitfor.gif[0-11]" -coalesce +repage -bordercolor white -border 2 +append "$work/spin32.png"
convert "$art/g_Loading.gif[0-11]" -coalesce +repage -bordercolor white -border 2 +append "$work/spin16.png"
convert "$work/tabs.png" "$work/starts.png" "$work/actions.png" "$work/head.png" "$work/scores.png" \
  \( "$work/hand.png" "$work/spin32.png" "$work/spin16.png" -background white -gravity center +append \) \
  -background '#A0A0A0' -gravity NorthWest -splice 0x6 -append +repage -scale 200% "$sheet"
echo "contact sheet: $sheet"
