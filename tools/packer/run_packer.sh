#!/bin/sh
# Runs the packer under Wine at build time, in the build's own prefix (made on first use).
# Usage: run_packer.sh <wine> <winearch> <prefix> <packer.exe> <definitions> <lists> <output>
# (Unix paths)
# Wine's background processes (wineserver, services.exe) inherit the output of whatever starts
# them and outlive it; handed the build tool's pipes they would keep it waiting. So Wine writes
# into files, and this script prints them once the packer has ended.
wine=$1 arch=$2 prefix=$3 packer=$4
shift 4
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
# A UTF-8 locale, never C: Wine takes the encoding of Unix file names from it.
export LC_ALL=zh_CN.UTF-8
unset WINESERVER
# The 64-bit loader starts further processes through WINELOADER.
[ "$arch" = win64 ] && export WINELOADER="$wine"
# The prefix's Z: drive is the Unix root.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

log=$(mktemp "${TMPDIR:-/tmp}/tm-packer.XXXXXX") || exit 1
err=$(mktemp "${TMPDIR:-/tmp}/tm-packer-err.XXXXXX") || exit 1
"$wine" "$packer" "$(windows_path "$1")" "$(windows_path "$2")" "$(windows_path "$3")" \
  >"$log" 2>"$err" </dev/null
status=$?
tr -d '\r' <"$log"
tr -d '\r' <"$err" >&2
rm -f "$log" "$err"
exit $status
