#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tidemark under Wine in the project's own prefix.
# With $DISPLAY set the window opens there. Without it the program runs on an Xvfb started
# here; a screenshot is saved to build/screenshot.png and the program keeps running until
# `scripts/run.sh --stop`.
#
# The prefix build/wine-run is seeded once, right after it is made, with what a used PC holds
# (tools/seed/seed.sh, data/seed/). `scripts/run.sh --bare` runs in build/wine-run-bare
# instead, a prefix that is never seeded. Further arguments go to the program.
set -euo pipefail
TM_TOP=$(cd "$(dirname "$0")/.." && pwd)
source "$TM_TOP/scripts/wine_env.sh"
SEEDED_PREFIX=$TM_BUILD/wine-run
BARE_PREFIX=$TM_BUILD/wine-run-bare
STATE=$TM_BUILD/run-state

stop() {
  tm_wine_env
  local prefix
  for prefix in "$SEEDED_PREFIX" "$BARE_PREFIX"; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  done
  if [ -f "$STATE/xvfb.pid" ]; then
    kill "$(cat "$STATE/xvfb.pid")" 2>/dev/null || true
    rm -f "$STATE/xvfb.pid"
  fi
  echo "run: stopped"
}

if [ "${1:-}" = "--stop" ]; then stop; exit 0; fi
bare=0
if [ "${1:-}" = "--bare" ]; then bare=1; shift; fi
if [ $bare -eq 1 ]; then export WINEPREFIX=$BARE_PREFIX; else export WINEPREFIX=$SEEDED_PREFIX; fi

"$TM_TOP/scripts/setup.sh"
tm_wine_env
tm_build
new_prefix=1
[ -f "$WINEPREFIX/system.reg" ] && new_prefix=0
tm_prefix_ensure "$WINEPREFIX"
seed_state=
[ -f "$WINEPREFIX/.tidemark-seed" ] && seed_state=$(head -n 1 "$WINEPREFIX/.tidemark-seed")
if [ $bare -eq 1 ]; then
  [ $new_prefix -eq 0 ] || "$TM_TOP/tools/seed/seed.sh" --mark-bare "$WINEPREFIX"
elif [ $new_prefix -eq 1 ] || [ "$seed_state" = pending ]; then
  # Once, right after the prefix is made (or to complete a seeding that was cut short).
  "$TM_TOP/tools/seed/seed.sh" "$WINEPREFIX" "$TM_BUILD/tools/seed/tm_seed_folders.exe"
  # Its Wine session ends first: the program joining a session begun without a display (Xvfb
  # starts below) could open no window.
  wineserver -w
elif [ -z "$seed_state" ]; then
  echo "run: $WINEPREFIX was made before seeding existed and stays unseeded; remove it for a seeded one"
fi
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
