#!/usr/bin/env bash
# Seeds a Wine prefix with what a used Windows PC holds, as the data files describe:
#
#   seed.sh PREFIX HELPER [DATA_DIR...]   seed PREFIX once (DATA_DIR defaults to data/seed)
#   seed.sh --mark-bare PREFIX            mark a new PREFIX as one that is never seeded
#
# HELPER is tm_seed_folders.exe, which asks the prefix where each folder macro points. A data
# folder holds files/*.files (one file or folder per line, format in data/seed/README.md) and
# registry/*.reg (imported with regedit). The prefix's marker .tidemark-seed says what the
# prefix is: "pending" (seeding started), "seeded" or "bare"; a seeded prefix is never seeded
# again, a bare one never seeded. .tidemark-seed.list records every seeded entry.
#
# Everything is created from Linux inside PREFIX/drive_c: only drive C: is used, no folder
# macro or line may climb out with "..", no link is ever followed (the prefix links drive T: to
# the build tree and some user folders into the Linux home), and nothing that already exists is
# changed. Exit status: 0 done (or nothing to do), 1 some entries failed (the marker stays
# "pending" so the next run completes it), 2 bad data or prefix (nothing was created).
set -euo pipefail
TM_TOP=$(cd "$(dirname "$0")/../.." && pwd)
source "$TM_TOP/scripts/wine_env.sh"
# Wine's settings, and one locale for reading the data whatever the caller's.
tm_wine_env

say() { echo "seed: $*"; }
die() { echo "seed: $*" >&2; exit 2; }

if [ "${1:-}" = "--mark-bare" ]; then
  [ $# -eq 2 ] || die "usage: seed.sh --mark-bare PREFIX"
  marker=$2/.tidemark-seed
  if [ -e "$marker" ] && [ "$(head -n 1 "$marker")" != bare ]; then
    die "$2 is $(head -n 1 "$marker"), not bare; it stays so"
  fi
  echo bare >"$marker"
  exit 0
fi

[ $# -ge 2 ] || die "usage: seed.sh PREFIX HELPER [DATA_DIR...]"
PREFIX=$(cd "$1" && pwd) || die "no prefix $1"
HELPER=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
shift 2
# A 64-bit prefix (64-bit Windows) also gets the shapes of the 32-bit view.
PREFIX_64=0
grep -q '^#arch=win64' "$PREFIX/system.reg" 2>/dev/null && PREFIX_64=1
DATA_DIRS=("$@")
[ ${#DATA_DIRS[@]} -gt 0 ] || DATA_DIRS=("$TM_TOP/data/seed")
MARKER=$PREFIX/.tidemark-seed
LIST=$PREFIX/.tidemark-seed.list

state=
[ -f "$MARKER" ] && state=$(head -n 1 "$MARKER")
case "$state" in
  seeded) say "$PREFIX is already seeded"; exit 0 ;;
  bare) die "$PREFIX is a bare prefix; it is never seeded" ;;
  ''|pending) ;;
  *) die "$MARKER holds \"$state\"" ;;
esac

# ---- Reading the data. Any fault here stops the seeding before anything is created.

errors=0
bad() { echo "seed: $1: $2" >&2; errors=$((errors + 1)); }

trim() {
  local s=$1
  s=${s#"${s%%[![:space:]]*}"}
  s=${s%"${s##*[![:space:]]}"}
  REPLY=$s
}

# A name Windows can hold and Wine shows under the same name: no reserved characters, no
# "." or "..", no trailing dot or blank (Windows would drop it), no device name.
valid_name() {
  local name=$1 base
  [ -n "$name" ] && [ "$name" != . ] && [ "$name" != .. ] || return 1
  case "$name" in *[\<\>:\"/\|?*]* | *[[:cntrl:]]* | *. | *' ') return 1 ;; esac
  base=${name%%.*}
  base=${base^^}
  case "$base" in CON | PRN | AUX | NUL | COM[1-9] | LPT[1-9]) return 1 ;; esac
  return 0
}

# Entries: the macro, the path below it ("\" separated), size in bytes ("" for a folder), the
# modification time as written ("" for none), the content kind, and where the line came from.
E_MACRO=() E_REL=() E_SIZE=() E_TIME=() E_KIND=() E_FROM=()
REG_FILES=()
declare -A MACROS=()

MACRO_LINE='^(%[A-Za-z0-9_()]+%)\\(.+)$'

parse_line() {
  local from=$1 line=$2 where size modified kind extra macro rel part number folder=0
  local -a parts
  IFS='|' read -r where size modified kind extra <<<"$line|||||"
  trim "$where"; where=$REPLY
  trim "$size"; size=$REPLY
  trim "$modified"; modified=$REPLY
  trim "$kind"; kind=$REPLY
  trim "$extra"; [ -z "${REPLY//|/}" ] || { bad "$from" "more than four fields"; return; }

  if [[ ! "$where" =~ $MACRO_LINE ]]; then
    bad "$from" "the path must start with a folder macro and a backslash: \"$where\""
    return
  fi
  macro=${BASH_REMATCH[1]}
  rel=${BASH_REMATCH[2]}
  if [ "${rel: -1}" = '\' ]; then folder=1; rel=${rel%\\}; fi
  case "$rel" in *'\\'* | *'\') bad "$from" "empty path part in \"$where\""; return ;; esac
  IFS='\' read -r -a parts <<<"$rel"
  for part in "${parts[@]}"; do
    valid_name "$part" || { bad "$from" "\"$part\" is not a name Windows can hold"; return; }
  done

  if [ $folder -eq 1 ]; then
    for part in "$size" "$modified" "$kind"; do
      [ -z "$part" ] || [ "$part" = - ] || { bad "$from" "a folder line has no size, time or content"; return; }
    done
    size= modified= kind=
  elif [[ "$size" =~ ^([0-9]+)([KM]?)$ ]]; then
    number=$((10#${BASH_REMATCH[1]}))
    case "${BASH_REMATCH[2]}" in K) number=$((number * 1024)) ;; M) number=$((number * 1048576)) ;; esac
    size=$number
  else
    bad "$from" "size \"$size\" is not bytes, nK or nM"
    return
  fi
  [ "$modified" != - ] || modified=
  if [ -n "$modified" ] &&
     [[ ! "$modified" =~ ^(19[89][0-9]|20[0-9][0-9])-(0[1-9]|1[0-2])-(0[1-9]|[12][0-9]|3[01])( ([01][0-9]|2[0-3]):[0-5][0-9](:[0-5][0-9])?)?$ ]]; then
    bad "$from" "modification time \"$modified\" is not YYYY-MM-DD [HH:MM[:SS]]"
    return
  fi
  [ $folder -eq 1 ] || case "${kind:=zero}" in
    zero | text) ;;  # the kinds make_entries.pl fills
    *) bad "$from" "unknown content kind \"$kind\""; return ;;
  esac

  E_MACRO+=("$macro") E_REL+=("$rel") E_SIZE+=("$size") E_TIME+=("$modified") E_KIND+=("$kind")
  E_FROM+=("$from")
  MACROS[$macro]=1
}

for dir in "${DATA_DIRS[@]}"; do
  [ -d "$dir" ] || die "no data folder $dir"
  shopt -s nullglob
  for file in "$dir"/files/*.files; do
    # Shapes named *_wow64 hold what only 64-bit Windows has (Wow6432Node, SysWOW64).
    [ "$PREFIX_64" = 1 ] || [[ $file != *_wow64.files ]] || continue
    n=0
    while IFS= read -r line || [ -n "$line" ]; do
      n=$((n + 1))
      line=${line%$'\r'}
      trim "$line"
      [ -z "$REPLY" ] || [ "${REPLY:0:1}" = '#' ] && continue
      parse_line "$file:$n" "$line"
    done <"$file"
  done
  for file in "$dir"/registry/*.reg; do
    [ "$PREFIX_64" = 1 ] || [[ $file != *_wow64.reg ]] || continue
    header=$(head -n 1 "$file" | tr -d '\r')
    header=${header#$'\xef\xbb\xbf'}
    if [ "$header" != "Windows Registry Editor Version 5.00" ]; then
      bad "$file" "a registry shape starts with \"Windows Registry Editor Version 5.00\" (UTF-8)"
    else
      REG_FILES+=("$file")
    fi
  done
  shopt -u nullglob
done
[ $errors -eq 0 ] || die "$errors faults in the data; nothing was seeded"

# ---- Asking the prefix where the folder macros point.

export WINEPREFIX=$PREFIX
[ -d "$PREFIX/drive_c" ] && [ ! -L "$PREFIX/drive_c" ] || die "$PREFIX/drive_c is not a plain folder"
DRIVE_C=$PREFIX/drive_c
[ "$(cd "$PREFIX/dosdevices/c:" 2>/dev/null && pwd -P)" = "$(cd "$DRIVE_C" && pwd -P)" ] ||
  die "drive C: of $PREFIX is not its drive_c"

SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT

# Wine and its servers are started with no terminal or pipe of ours: a server that inherited a
# pipe would keep its reader waiting.
prefix_wine() { (cd "$DRIVE_C" && wine "$@") </dev/null; }

macro_names=("${!MACROS[@]}")
declare -A FOLDER=()
if [ ${#macro_names[@]} -gt 0 ]; then
  prefix_wine "$HELPER" "${macro_names[@]}" >"$SCRATCH/folders" 2>"$SCRATCH/folders.err" ||
    die "$HELPER failed: $(cat "$SCRATCH/folders.err")"
  mapfile -t values <"$SCRATCH/folders"
  [ ${#values[@]} -eq ${#macro_names[@]} ] || die "$HELPER answered ${#values[@]} of ${#macro_names[@]} macros"
  for i in "${!macro_names[@]}"; do
    macro=${macro_names[$i]}
    value=${values[$i]%$'\r'}
    value=${value%\\}
    if [ -z "$value" ]; then
      bad "$macro" "names no folder in this prefix"
      continue
    elif [[ ! "$value" =~ ^[Cc]: ]]; then
      bad "$macro" "names \"$value\", which is not on drive C:"
      continue
    fi
    rest=${value:2}
    rest=${rest#\\}
    ok=1
    if [ -n "$rest" ]; then
      IFS='\' read -r -a parts <<<"$rest"
      for part in "${parts[@]}"; do valid_name "$part" || ok=0; done
    fi
    [ $ok -eq 1 ] || { bad "$macro" "names \"$value\", which is not a plain folder path"; continue; }
    FOLDER[$macro]=$rest
  done
fi
[ $errors -eq 0 ] || die "$errors folder macros unusable; nothing was seeded"

# ---- Creating, in one process (make_entries.pl), as the data lists it.

for i in "${!E_REL[@]}"; do
  base=${FOLDER[${E_MACRO[$i]}]}
  printf '%s\t%s\t%s\t%s\t%s\n' "${base:+$base\\}${E_REL[$i]}" "${E_SIZE[$i]}" "${E_KIND[$i]}" "${E_TIME[$i]}" \
    "${E_FROM[$i]}"
done >"$SCRATCH/plan"
echo pending >"$MARKER"
: >"$LIST"
failed=0
perl "$TM_TOP/tools/seed/make_entries.pl" "$DRIVE_C" "$LIST" <"$SCRATCH/plan" || failed=1

if [ ${#REG_FILES[@]} -gt 0 ]; then
  # regedit reads a file without a byte-order mark in the ANSI code page: it gets UTF-16. The
  # copies go to the root of drive C: (checked above to be the prefix's own) and are removed.
  reg_args=()
  for n in "${!REG_FILES[@]}"; do
    staged=tidemark-seed-$$-$n.reg
    if (set -C; { printf '\xff\xfe'; sed '1s/^\xef\xbb\xbf//' "${REG_FILES[$n]}" | iconv -f UTF-8 -t UTF-16LE; } >"$DRIVE_C/$staged"); then
      reg_args+=("C:\\$staged")
    else
      echo "seed: ${REG_FILES[$n]}: cannot be staged as C:\\$staged" >&2
      failed=1
    fi
  done
  # regedit reports nothing, not even a missing file: the test reads the keys back.
  if [ ${#reg_args[@]} -gt 0 ]; then
    prefix_wine regedit /s "${reg_args[@]}" >/dev/null 2>&1 || failed=1
  fi
  rm -f "$DRIVE_C"/tidemark-seed-$$-*.reg
  say "${#reg_args[@]} of ${#REG_FILES[@]} registry shapes imported"
fi

# Browser traces (cache, cookies, history) exist only through the browser's library.
WININET_HELPER=$(dirname "$HELPER")/tm_seed_wininet.exe
if [ -f "$WININET_HELPER" ]; then
  prefix_wine "$WININET_HELPER" >/dev/null 2>&1 || { echo "seed: $WININET_HELPER failed" >&2; failed=1; }
fi

if [ $failed -ne 0 ]; then
  echo "seed: $PREFIX stays pending; the next seeding completes it" >&2
  exit 1
fi
echo seeded >"$MARKER"

