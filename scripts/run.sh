#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tidemark under Wine in the project's own prefix.
# With $DISPLAY set the window opens there. Without it the program runs on an Xvfb started
# here; a screenshot is saved to build/screenshot.png and the program keeps running until
# `scripts/run.sh --stop`.
set -euo pipefail
TM_TOP=$(cd "$(dirname "$0")/.." && pwd)
source "$TM_TOP/scripts/wine_env.sh"
export WINEPREFIX=$TM_BUILD/wine-run
STATE=$TM_BUILD/run-state

stop() {
  tm_wine_env
  [ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1 || true
  if [ -f "$STATE/xvfb.pid" ]; then
    kill "$(cat "$STATE/xvfb.pid")" 2>/dev/null || true
    rm -f "$STATE/xvfb.pid"
  fi
  echo "run: stopped"
}

if [ "${1:-}" = "--stop" ]; then stop; exit 0; fi

"$TM_TOP/scripts/setup.sh"
tm_wine_env
tm_build
tm_prefix_ensure "$WINEPREFIX"
mkdir -p "$STATE"

EXE=$TM_BUILD/src/app/Tidemark.exe
if [ -n "${DISPLAY:-}" ]; then
  echo "run: starting Tidemark on $DISPLAY"
  nohup wine "$EXE" "$@" >"$STATE/wine.log" 2>&1 &
  echo "run: stop it by closing its window or with: scripts/run.sh --stop"
  exit 0
fi

# No display: an Xvfb of our own.
[ -f "$STATE/xvfb.pid" ] && stop >/dev/null
tm_start_xvfb
echo "$TM_XVFB_PID" >"$STATE/xvfb.pid"
echo "$DISPLAY" >"$STATE/display"
nohup wine "$EXE" "$@" >"$STATE/wine.log" 2>&1 &

shot=$TM_BUILD/screenshot.png
for i in $(seq 1 100); do
  if xdotool search --name 'Tidemark1.31' >/dev/null 2>&1; then break; fi
  sleep 0.2
done
sleep 1  # let it paint
import -display "$DISPLAY" -window root "$shot"
echo "run: Tidemark is running on Xvfb $DISPLAY; screenshot saved to $shot"
echo "run: look again with: import -display $DISPLAY -window root shot.png"
echo "run: stop it with: scripts/run.sh --stop"
