#!/usr/bin/env bash
# Builds folder links inside the test prefix for the boot-time deletion tests: a tree holding
# a link to a folder outside it, and a link given directly as the folder to remove. Only links
# to folders: under Wine deleting a link to a file can delete its target.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
base="$WINEPREFIX/drive_c/tm-fixtures/cleandos"
rm -rf "$base"
mkdir -p "$base/tree/sub" "$base/outside"
echo a > "$base/tree/a.txt"
echo b > "$base/tree/sub/b.txt"
echo keep > "$base/outside/keep.txt"
ln -s ../outside "$base/tree/zlink"
ln -s outside "$base/toplink"
echo "cleandos link fixtures ready in $base"
