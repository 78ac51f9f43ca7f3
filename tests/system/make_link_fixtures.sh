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

# Drive Y: of its own for the root-refusal cases, so that a refusal that failed would empty only
# this folder. A CD-ROM to Wine's mount manager, so it never counts as a fixed drive.
ydrive="$WINEPREFIX/drive_c/tm-fixtures/ydrive"
rm -rf "$ydrive"
mkdir -p "$ydrive/sub"
echo keep > "$ydrive/keep.txt"
echo keep > "$ydrive/sub/keep.txt"
ln -sfn ../drive_c/tm-fixtures/ydrive "$WINEPREFIX/dosdevices/y:"
wine reg add 'HKLM\Software\Wine\Drives' /v 'y:' /t REG_SZ /d cdrom /f >/dev/null 2>&1 </dev/null
echo "link fixtures ready in $base, drive Y: in $ydrive"
