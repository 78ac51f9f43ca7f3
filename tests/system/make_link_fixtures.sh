#!/usr/bin/env bash
# Builds folder links inside the test prefix for the folder-removal tests. Only links to
# folders, never to files: under Wine deleting a link to a file deletes its target.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
base="$WINEPREFIX/drive_c/tm-fixtures/links"
rm -rf "$base"
mkdir -p "$base/tree/sub" "$base/outside" "$base/emptytarget" "$base/tree2"
echo a > "$base/tree/a.txt"
echo b > "$base/tree/sub/b.txt"
echo keep > "$base/outside/keep.txt"
ln -s ../outside "$base/tree/zlink"
ln -s ../emptytarget "$base/tree2/elink"
ln -s outside "$base/toplink"
echo "link fixtures ready in $base"
