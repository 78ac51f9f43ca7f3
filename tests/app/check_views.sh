#!/usr/bin/env bash
# Starts the window program on the test run's Xvfb, answers the first-run question, presses the
# five visible top tabs at their screen positions, saves one screenshot per view into the given
# folder (client area only: picture coordinates are client coordinates), adds a file type on the
# settings page, maximises the window and shoots it again, and closes the program.
# Each press waits until the screen shows its effect and holds still (polled, with an upper
# bound), never for a fixed time. Checked on the pictures: the tab strip's bottom edge has no
# marks between the tabs, and after maximising the footer and bottom-bar links are drawn.
set -u
exe=$1 shots=$2
: "${DISPLAY:?an X display is needed (the test script starts Xvfb)}"
mkdir -p "$shots"
status=0
fail() { echo "FAIL: $*"; status=1; }

# A fresh profile: the first-run question is asked and the settings hold nothing of ours.
wine reg delete 'HKCU\Software\Corvane\BRIM' /f >/dev/null 2>&1
wine "$exe" >/dev/null 2>&1 &
pid=$!
win=
for _ in $(seq 1 150); do
  # Wine's X window exists before the program shows it: wait until it is on the screen.
  win=$(xdotool search --onlyvisible --name '^Tidemark1\.31$' 2>/dev/null | head -n1)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "FAIL: no window named Tidemark1.31 appeared"; kill $pid 2>/dev/null; exit 1; }

# The window's client area on the screen (inside the one-pixel border): cx, cy, cw, ch.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$win")"
  cx=$((X + 1)) cy=$((Y + 1)) cw=$((WIDTH - 2)) ch=$((HEIGHT - 2))
}
# A digest of the whole screen (the window may grow), and one pixel of it as #RRGGBB.
picture() { import -window root rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }
screen_pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1; }
# Waits until two looks in a row are equal (at most 5 s).
settle() {
  local now last
  now=$(picture)
  for _ in $(seq 1 50); do
    last=$now
    sleep 0.1
    now=$(picture)
    [ "$now" = "$last" ] && return 0
  done
}
# Waits until the screen differs from the digest $1 (at most 15 s), then until it holds still.
settle_after() {
  local before=$1 now
  for _ in $(seq 1 150); do
    now=$(picture)
    [ "$now" != "$before" ] && { settle; return 0; }
    sleep 0.1
  done
  return 1
}
# Presses the client point x,y (what: for the message) and waits for its effect. The pointer
# arrives first and its hover look settles, so that the hover alone does not count.
click() {
  local before
  xdotool mousemove "$((cx + $1))" "$((cy + $2))"
  settle
  before=$(picture)
  xdotool click 1
  settle_after "$before" || fail "nothing changed on the screen after pressing $3"
}
type_text() {
  local before
  before=$(picture)
  xdotool type --delay 40 "$1"
  settle_after "$before" || fail "typing '$1' changed nothing on the screen"
}
shoot() { import -window root -crop "${cw}x${ch}+${cx}+${cy}" +repage "$shots/$1.png" && echo "screenshot: $shots/$1.png"; }

# Checks on a screenshot (client coordinates).
colours_in() { convert "$1" -crop "$2" +repage -unique-colors -format '%w' info:; }
pixel_of() { convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -n1; }
# The last row of the title area (where the top tabs end) and the first row of the header
# strip below it are each one colour across the tabs and the gaps between them.
check_tab_edge() {
  local row n
  for row in 104 105; do
    n=$(colours_in "$1" "600x1+2+$row")
    [ "$n" = 1 ] || fail "$(basename "$1"): row $row under the top tabs has $n colours (marks between the tabs)"
  done
}
# A link is drawn: its text on the footer's colour, not a blank box.
check_link() {
  local file=$1 name=$2 x=$3 y=$4 w=$5 n corner
  n=$(colours_in "$file" "${w}x16+$x+$y")
  corner=$(pixel_of "$file" "$((x + 1))" "$((y + 1))")
  [ "$n" -ge 2 ] && [ "$corner" = '#EAF3FC' ] ||
    fail "$(basename "$file"): the link $name at $x,$y is not drawn ($n colours, corner $corner)"
}

geometry
echo "window $win at $X,$Y size ${WIDTH}x$HEIGHT"
[ "$WIDTH" = 800 ] && [ "$HEIGHT" = 630 ] || fail "window is ${WIDTH}x$HEIGHT, not 800x630"
# The first-run question (a panel at 200,240, 356 x 97, in the strip colour) comes up once the
# message loop runs.
for _ in $(seq 1 150); do
  [ "$(screen_pixel $((cx + 500)) $((cy + 245)))" = '#EAF3FC' ] && break
  sleep 0.1
done
[ "$(screen_pixel $((cx + 500)) $((cy + 245)))" = '#EAF3FC' ] || fail "the first-run question did not come up"
settle
shoot first-run
# Its confirm button (at 258,55 in the panel, 82 x 26).
click $((200 + 258 + 41)) $((240 + 55 + 13)) "the first-run question's confirm button"
declare -A tabx=([1]=24 [2]=120 [4]=216 [5]=312 [6]=408)
for tab in 2 4 5 6 1; do
  click $((tabx[$tab] + 46)) $((35 + 35)) "top tab $tab"
  shoot "view$tab"
  check_tab_edge "$shots/view$tab.png"
done
# The settings view's general rules, with a type of the user's own added through the edit box.
click $((tabx[6] + 46)) $((35 + 35)) "top tab 6"
click $((146 + 62)) $((114 + 14)) "the general rules button"
click $((2 + 420 + 75)) $((152 + 10 + 11)) "the type box"
type_text '*.abc'
click $((2 + 580 + 40)) $((152 + 8 + 13)) "the add button"
shoot settings-general

# Maximised (the maximise button: 28 x 22, 66 from the right edge): the footer follows the
# bottom edge, and its links ("全选", "反选", "推荐设置") and the maker's link are drawn.
click $((cw - 66 + 14)) $((4 + 11)) "the maximise button"
geometry
echo "maximised: client ${cw}x$ch"
shoot settings-general-maximised
dy=$((ch - 628))
check_tab_edge "$shots/settings-general-maximised.png"
check_link "$shots/settings-general-maximised.png" 全选 16 $((563 + 13 + dy)) 34
check_link "$shots/settings-general-maximised.png" 反选 56 $((563 + 13 + dy)) 34
check_link "$shots/settings-general-maximised.png" 推荐设置 96 $((563 + 13 + dy)) 70
check_link "$shots/settings-general-maximised.png" maker 12 $((604 + 4 + dy)) 120

# The close button of the title area (28 x 22 at the top right).
xdotool mousemove "$((cx + cw - 36 + 14))" "$((cy + 4 + 11))" click 1
for _ in $(seq 1 150); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "FAIL: the program did not end after its window closed"; kill $pid; status=1; fi
exit $status
