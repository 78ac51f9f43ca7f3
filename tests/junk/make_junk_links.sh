#!/usr/bin/env bash
# Links the junk scan and clean must neither follow nor touch, made fresh in the test prefix:
# a link to an outside folder and a link looping back to an ancestor. (No link to a file: Wine
# shows one as the plain file it points to, and removing it removes the target.)
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
base="$WINEPREFIX/drive_c/tm-fixtures/junk-links"
rm -rf "$base"
mkdir -p "$base/tree/sub" "$base/outside"
echo a > "$base/tree/a.tmp"
echo b > "$base/tree/sub/b.tmp"
echo keep > "$base/outside/keep.tmp"
ln -s ../outside "$base/tree/zlink"
ln -s .. "$base/tree/sub/loop"
echo "junk link fixtures ready in $base"
