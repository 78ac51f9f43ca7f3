#!/usr/bin/env bash
# The test prefix is sandboxed: no link under drive_c leads out of the prefix (Wine links user
# folders into the Linux home folder; a junk scan or clean would walk through them).
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
top=$(cd "$WINEPREFIX" && pwd -P)
bad=0
while IFS= read -r -d '' entry; do
  target=$(readlink -f "$entry" 2>/dev/null || true)
  case "$target" in
    "$top"/*) ;;
    *) echo "leads out of the prefix: ${entry#"$WINEPREFIX"/} -> $target"; bad=1 ;;
  esac
done < <(find "$WINEPREFIX/drive_c" -type l -print0)
[ "$bad" = 0 ] && echo "no link under drive_c leads out of the prefix"
exit "$bad"
