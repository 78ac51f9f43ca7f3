#!/usr/bin/env bash
# Starts the window program on the test run's Xvfb, waits for its window, saves a screenshot
# beside the build and closes the program again.
set -u
exe=$1 shot=$2
: "${DISPLAY:?an X display is needed (the test script starts Xvfb)}"
wine "$exe" >/dev/null 2>&1 &
pid=$!
win=
for _ in $(seq 1 150); do
  win=$(xdotool search --name '^Tidemark1\.31$' 2>/dev/null | head -n1)
  [ -n "$win" ] && break
  sleep 0.1
done
status=0
if [ -z "$win" ]; then
  echo "FAIL: no window named Tidemark1.31 appeared"; status=1
else
  sleep 0.5
  geometry=$(xdotool getwindowgeometry "$win" | sed -n 's/ *Geometry: //p')
  echo "window $win geometry $geometry"
  import -window root "$shot" && echo "screenshot: $shot"
  xdotool windowfocus --sync "$win" 2>/dev/null; xdotool key alt+F4
fi
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "FAIL: the program did not end after its window closed"; kill $pid; status=1; fi
exit $status
