#!/usr/bin/env bash
# Starts the window program on the test run's Xvfb, answers the first-run question if it is
# asked, presses the five visible top tabs at their screen positions, saves one screenshot per
# view into the given folder, and closes the program again.
set -u
exe=$1 shots=$2
: "${DISPLAY:?an X display is needed (the test script starts Xvfb)}"
mkdir -p "$shots"
# A fresh profile: the first-run question is asked and the settings hold nothing of ours.
wine reg delete 'HKCU\Software\Corvane\BRIM' /f >/dev/null 2>&1
wine "$exe" >/dev/null 2>&1 &
pid=$!
win=
for _ in $(seq 1 150); do
  win=$(xdotool search --name '^Tidemark1\.31$' 2>/dev/null | head -n1)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "FAIL: no window named Tidemark1.31 appeared"; kill $pid 2>/dev/null; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "window $win at $X,$Y size ${WIDTH}x$HEIGHT"
status=0
[ "$WIDTH" = 800 ] && [ "$HEIGHT" = 630 ] || { echo "FAIL: window is ${WIDTH}x$HEIGHT, not 800x630"; status=1; }
# Client coordinates start inside the one-pixel border.
cx=$((X + 1)) cy=$((Y + 1))
click() { xdotool mousemove "$((cx + $1))" "$((cy + $2))" click 1; sleep "${3:-0.6}"; }
shoot() { import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shots/$1.png" && echo "screenshot: $shots/$1.png"; }

shoot first-run
# The first-run question's confirm button (a panel at 200,240; the button at 258,55, 82 x 26).
click $((200 + 258 + 41)) $((240 + 55 + 13))
declare -A tabx=([1]=24 [2]=120 [4]=216 [5]=312 [6]=408)
for tab in 2 4 5 6 1; do
  click $((tabx[$tab] + 46)) $((35 + 35))
  shoot "view$tab"
done
# The settings view's general rules, with a type of the user's own added through the edit box.
click $((tabx[6] + 46)) $((35 + 35))
click $((146 + 62)) $((114 + 14))
click $((2 + 420 + 75)) $((152 + 10 + 11)) 0.2
xdotool type --delay 40 '*.abc'
click $((2 + 580 + 40)) $((152 + 8 + 13))
shoot settings-general
# The close button of the title area (28 x 22 at the top right).
click $((798 - 36 + 14)) $((4 + 11)) 0.2
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "FAIL: the program did not end after its window closed"; kill $pid; status=1; fi
exit $status
