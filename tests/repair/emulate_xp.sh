#!/usr/bin/env bash
# Makes the test prefix show Windows XP to one program (Wine's per-program version setting).
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /d winxp /f >/dev/null 2>&1 </dev/null
