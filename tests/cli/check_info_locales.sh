#!/usr/bin/env bash
# tidemark-cli info --json in a process of its own under each Chinese locale: the code page and
# language Wine derives from it, and drive C: as the only fixed drive of the sandboxed prefix.
set -u
cli=$1
status=0
check() {
  local locale=$1; shift
  local out
  out=$(LC_ALL=$locale wine "$cli" info --json 2>/dev/null | tr -d '\r')
  echo "$locale: $out"
  [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || { echo "FAIL $locale: not one JSON line"; status=1; }
  for field in "$@" '"fixed_drives": ["C:\\"], "folders": {"%windriver%": "C:", ' '"kind": ' '"version_code": ' '"service_pack": ' \
               '"family": ' '"windows": ' '"system": ' '"temp": ' '"user": '; do
    case "$out" in
      *"$field"*) ;;
      *) echo "FAIL $locale: missing $field"; status=1 ;;
    esac
  done
}
check zh_CN.UTF-8 '"acp": 936' '"lang_id": 2052' '"language": 0'
check zh_TW.UTF-8 '"acp": 950' '"lang_id": 1028' '"language": 2'
exit $status
