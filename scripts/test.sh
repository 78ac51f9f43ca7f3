#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under Wine in a fresh prefix.
# Extra arguments go to ctest (for example: -R system_tests).
set -euo pipefail
TM_TOP=$(cd "$(dirname "$0")/.." && pwd)
"$TM_TOP/scripts/setup.sh"
source "$TM_TOP/scripts/wine_env.sh"
tm_wine_env
tm_build

export WINEPREFIX=$TM_BUILD/wine-test
echo "test: fresh Wine prefix $WINEPREFIX"
tm_prefix_create "$WINEPREFIX"

TM_XVFB_PID=
cleanup() {
  WINEPREFIX=$TM_BUILD/wine-test wineserver -k >/dev/null 2>&1 || true
  [ -n "$TM_XVFB_PID" ] && kill "$TM_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
tm_start_xvfb
wineserver -p
# Start the prefix's background services now, detached from ctest's output pipes: a test that
# started them would hand them its pipes, and ctest would wait for them to close.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

cd "$TM_BUILD"
ctest --output-on-failure --no-tests=error "$@"
