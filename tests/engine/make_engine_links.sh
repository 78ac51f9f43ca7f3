#!/usr/bin/env bash
# A folder link inside the test prefix for the removal tests: C:\tm-fixtures\engine\link leads
# to the folder target beside it, which holds precious.txt. Nothing may reach it through the link.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
base="$WINEPREFIX/drive_c/tm-fixtures/engine"
rm -rf "$base"
mkdir -p "$base/target"
echo keep > "$base/target/precious.txt"
ln -s target "$base/link"
echo "engine link fixtures ready in $base"
