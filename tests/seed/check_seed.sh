#!/usr/bin/env bash
# The run prefix's seeding (tools/seed/seed.sh), on a scratch copy of the test prefix:
# - faulty data, and folder macros that lead off drive C:, stop it before anything is made;
# - nothing is made through a link, so nothing lands outside the prefix;
# - every line of data/seed and of the feature fixture is where Windows looks for it, with its
#   size and time; the registry shapes are imported; completing an interrupted seeding changes
#   nothing that is there;
# - a seeded prefix is never seeded again, a bare one never seeded.
set -u
seed=$1 helper=$2 stat=$3 data=$4 fixtures=$5
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
status=0
fail() { echo "FAIL: $*"; status=1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tm-seed-check.XXXXXX")
prefix=$scratch/prefix
drive_c=$prefix/drive_c
outside=$scratch/outside
marker=$prefix/.tidemark-seed
list=$prefix/.tidemark-seed.list
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT

# Wine is started with no pipe of ctest's: a server holding one would keep ctest waiting.
in_prefix() { (cd "$drive_c" && WINEPREFIX=$prefix wine "$@"); }
run_seed() { "$seed" "$@" >"$scratch/out" 2>&1 </dev/null; }
# What Windows sees at each path of a file (file SIZE TIME, folder, missing).
windows_view() { in_prefix "$stat" <"$1" 2>/dev/null | tr -d '\r'; }
utc() { date -u -d "$1" '+%F %T'; }
snapshot() { (cd "$scratch" && find prefix outside -printf '%p %y\n' | sort); }
reg_text() { in_prefix reg query "$@" </dev/null 2>/dev/null | tr -d '\r' | iconv -f GBK -t UTF-8; }

cp -a "$WINEPREFIX" "$prefix" || { echo "FAIL: cannot copy $WINEPREFIX"; exit 1; }
rm -f "$prefix"/.tidemark-seed*
mkdir "$outside"
echo keep >"$outside/keep.txt"
WINEPREFIX=$prefix wineserver -p </dev/null >/dev/null 2>&1
in_prefix cmd /c exit </dev/null >/dev/null 2>&1

# ---- Faulty data: every fault reported, nothing made, the prefix not marked.
before=$(snapshot)
run_seed "$prefix" "$helper" "$fixtures/bad"
rc=$?
[ $rc -eq 2 ] || fail "faulty data: exit $rc, not 2"
for n in $(grep -n -v '^#' "$fixtures/bad/files/bad.files" | cut -d: -f1); do
  grep -q "bad.files:$n:" "$scratch/out" || fail "fault on line $n of bad.files not reported"
done
grep -q "old_header.reg" "$scratch/out" || fail "registry shape without the version 5 header not reported"
TM_SEED_ELSEWHERE='T:\' TM_SEED_UNIX=$outside run_seed "$prefix" "$helper" "$fixtures/bad_macros"
rc=$?
[ $rc -eq 2 ] || fail "macros off drive C:: exit $rc, not 2"
for macro in %tm_seed_nonesuch% %TM_SEED_ELSEWHERE% %TM_SEED_UNIX%; do
  grep -q "^seed: $macro: " "$scratch/out" || fail "$macro not reported"
done
[ "$(snapshot)" = "$before" ] || fail "faulty data made something: $(diff <(echo "$before") <(snapshot) | head -5)"
[ ! -e "$marker" ] || fail "faulty data marked the prefix $(cat "$marker")"
sed 's/^/  /' "$scratch/out" | tail -3

# ---- Links: a folder link out of the prefix and a link where a file would go.
links=$drive_c/windows/temp/tm-seed-links
mkdir -p "$links"
ln -s "$outside" "$links/through-folder"
# Dangling, in a scratch prefix nothing deletes from: only here to show no file is written
# through it.
ln -s "$outside/through-file.tmp" "$links/through-file.tmp"
run_seed "$prefix" "$helper" "$fixtures/links"
rc=$?
[ $rc -eq 1 ] || fail "links: exit $rc, not 1"
[ "$(grep -c ' not made: ' "$scratch/out")" -eq 4 ] || fail "links: not 4 entries refused: $(cat "$scratch/out")"
[ -f "$links/inside.tmp" ] || fail "links: inside.tmp not made"
[ "$(ls -A "$outside")" = keep.txt ] || fail "made outside the prefix: $(ls -A "$outside")"
[ -L "$links/through-folder" ] && [ -L "$links/through-file.tmp" ] || fail "links: a link was replaced"
[ "$(cat "$marker")" = pending ] || fail "links: the prefix is $(cat "$marker"), not pending"

# ---- The real data and every form of line, completing the pending seeding.
run_seed "$prefix" "$helper" "$data" "$fixtures/features"
rc=$?
cat "$scratch/out"
[ $rc -eq 0 ] || fail "seeding: exit $rc"
[ "$(cat "$marker")" = seeded ] || fail "the seeded prefix is $(cat "$marker")"
lines=$(cat "$data"/files/*.files "$fixtures"/features/files/*.files | tr -d '\r' |
        grep -v '^[[:space:]]*#' | grep -c '[^[:space:]]')
[ "$(wc -l <"$list")" -eq "$lines" ] || fail "$lines data lines, $(wc -l <"$list") entries seeded"
grep -q "^seed: $lines made, 0 already there, 0 failed$" "$scratch/out" || fail "not all $lines lines made anew"

# Each entry inside drive_c with no link on the way, and where Windows looks for it.
real_c=$(realpath "$drive_c")
cut -d'|' -f4 "$list" | xargs -d '\n' realpath -e -- >"$scratch/real" 2>&1 || fail "entries missing: $(head -3 "$scratch/real")"
cut -d'|' -f4 "$list" | sed "s|^$drive_c|$real_c|" | diff - "$scratch/real" >/dev/null ||
  fail "entries reached through a link: $(cut -d'|' -f4 "$list" | sed "s|^$drive_c|$real_c|" | diff - "$scratch/real" | head -4)"
cut -d'|' -f1 "$list" >"$scratch/paths"
windows_view "$scratch/paths" >"$scratch/seen"
cut -d'|' -f3 "$list" | sed 's/^-$/1970-01-01/' | date -u -f - '+%F %T' >"$scratch/utc"
paste -d'|' <(cut -d'|' -f1-3 "$list") "$scratch/utc" "$scratch/seen" | awk -F'|' '
  { want = $2 == "-" ? "folder" : $3 == "-" ? "file " $2 " " : "file " $2 " " $4
    if (substr($5, 1, length(want)) != want) { print "FAIL: " $1 ": Windows sees \"" $5 "\", not \"" want "\""; bad = 1 } }
  END { exit bad }' || status=1
total=$(awk -F'|' '$2 != "-" { s += $2 } END { printf "%d", s / 1048576 }' "$list")
echo "seeded $lines entries, $total MB"
[ "$total" -lt 100 ] || fail "the seeded files come to $total MB"

# What each form of line must give, from Windows' own idea of the folders.
in_prefix cmd /c 'echo %TEMP%&echo %LOCALAPPDATA%&echo %APPDATA%' </dev/null 2>/dev/null |
  tr -d '\r' | iconv -f GBK -t UTF-8 >"$scratch/env"
{ read -r temp; read -r local_app; read -r app; } <"$scratch/env"
check="$temp\\tm-seed-check"
expected=(
  "$check\\bytes.tmp|file 0 "
  "$check\\kilo.tmp|file 3072 $(utc '2010-03-02 09:14')"
  "$check\\mega.tmp|file 2097152 $(utc '2011-07-01 23:59:30')"
  "$check\\text.log|file 200 $(utc '2009-12-31')"
  "$check\\中文目录\\日志 文件.txt|file 77 $(utc '2011-02-03 04:05')"
  "$check\\env.tmp|file 5 "
  "$local_app\\tm-seed-check\\local.tmp|file 6 "
  "$app\\Microsoft\\tm-seed-check\\case.tmp|file 7 "
  "$check\\empty folder|folder"
  "$temp\\tm-seed-bad|missing"
  "$temp\\tm-seed-bad-macros.tmp|missing"
)
printf '%s\n' "${expected[@]}" | cut -d'|' -f1 >"$scratch/paths"
windows_view "$scratch/paths" >"$scratch/seen"
i=0
while IFS= read -r seen; do
  want=${expected[$i]#*|}
  [[ "$seen" == "$want"* ]] || fail "${expected[$i]%%|*}: Windows sees \"$seen\", not \"$want\""
  i=$((i + 1))
done <"$scratch/seen"
[ $i -eq ${#expected[@]} ] || fail "Windows answered $i of ${#expected[@]} paths"

text=$(grep -F 'tm-seed-check\text.log|' "$list" | cut -d'|' -f4)
[ "$(head -n 1 "$text")" = $'This file was made by the Tidemark run-prefix seeding: harmless sample data.\r' ] ||
  fail "text content: $(head -c 80 "$text")"
case_file=$(grep -F 'MICROSOFT\tm-seed-check\case.tmp|' "$list" | cut -d'|' -f4)
case "$case_file" in
  */Microsoft/tm-seed-check/case.tmp) [ ! -e "${case_file%/Microsoft/*}/MICROSOFT" ] || fail "a second MICROSOFT folder was made" ;;
  *) fail "\"MICROSOFT\" did not reuse Microsoft: $case_file" ;;
esac

reg_text 'HKCU\Software\TidemarkSeed' /v Seeded | grep -q 'REG_DWORD *0x1$' || fail "HKCU\\Software\\TidemarkSeed Seeded is not 1"
reg_text 'HKCU\Software\TidemarkSeedCheck' >"$scratch/reg"
grep -Eq '名称 +REG_SZ +中文数据$' "$scratch/reg" || fail "Chinese registry value: $(cat "$scratch/reg")"
grep -Eq 'Number +REG_DWORD +0x2a$' "$scratch/reg" || fail "registry number: $(cat "$scratch/reg")"
in_prefix reg query 'HKCU\Software\TidemarkSeedBad' </dev/null >/dev/null 2>&1 && fail "the faulty registry shape was imported"

# ---- Completing an interrupted seeding makes what is missing and changes nothing that is there.
kilo=$(grep -F 'tm-seed-check\kilo.tmp|' "$list" | cut -d'|' -f4)
echo pending >"$marker"
rm "$text"
truncate -s 1 "$kilo"
run_seed "$prefix" "$helper" "$data" "$fixtures/features"
rc=$?
[ $rc -eq 0 ] || fail "completing: exit $rc"
grep -q "^seed: 1 made, $((lines - 1)) already there, 0 failed$" "$scratch/out" || fail "completing: $(head -1 "$scratch/out")"
[ "$(stat -c %s "$text" 2>/dev/null)" = 200 ] || fail "completing: text.log not made again"
[ "$(stat -c %s "$kilo")" = 1 ] || fail "completing: changed kilo.tmp, which was there"

# ---- Seeded is seeded: a second seeding changes nothing, even where things were removed.
rm "$text"
in_prefix reg delete 'HKCU\Software\TidemarkSeed' /f </dev/null >/dev/null 2>&1
run_seed "$prefix" "$helper" "$data" "$fixtures/features"
rc=$?
[ $rc -eq 0 ] || fail "second seeding: exit $rc"
grep -q 'already seeded' "$scratch/out" || fail "second seeding: $(cat "$scratch/out")"
[ ! -e "$text" ] || fail "second seeding made text.log again"
in_prefix reg query 'HKCU\Software\TidemarkSeed' </dev/null >/dev/null 2>&1 && fail "second seeding imported the registry again"

# ---- Bare is bare, and seeded cannot become bare.
mkdir "$scratch/bare"
run_seed --mark-bare "$scratch/bare" || fail "--mark-bare on a new prefix: $(cat "$scratch/out")"
run_seed "$scratch/bare" "$helper" "$data"
rc=$?
[ $rc -eq 2 ] || fail "seeding a bare prefix: exit $rc, not 2"
[ "$(cat "$scratch/bare/.tidemark-seed")" = bare ] || fail "the bare prefix is no longer bare"
run_seed --mark-bare "$prefix"
rc=$?
[ $rc -eq 2 ] || fail "--mark-bare on a seeded prefix: exit $rc, not 2"
[ "$(cat "$marker")" = seeded ] || fail "the seeded prefix is now $(cat "$marker")"

[ $status -eq 0 ] && echo "seeding checked"
exit $status
