#!/usr/bin/env bash
# Builds each parser's fuzz target natively (clang's libFuzzer with AddressSanitizer) and runs it
# for a bounded time from its seed corpus. Targets are the lines of targets.txt:
#   <target> <source files relative to the repository>
# with the entry point in tests/fuzz/<target>_fuzz.cpp.
# Usage: run_fuzz.sh [output folder] [seconds per target] [target ...]
# The output folder (default $TM_BUILD/fuzz, else build/fuzz) gets the binaries, the working
# corpora (seeds stay untouched) and any crashing input. Exits non-zero on a build failure or
# a crash.
set -uo pipefail
TM_TOP=$(cd "$(dirname "$0")/../.." && pwd)
FUZZ_DIR=$TM_TOP/tests/fuzz
OUT=${1:-${TM_BUILD:-$TM_TOP/build}/fuzz}
SECONDS_EACH=${2:-30}
shift $(( $# > 2 ? 2 : $# ))
ONLY=("$@")

CXX=${TM_FUZZ_CXX:-clang++}
# Native 4-byte wchar_t: never -fshort-wchar against the system's libstdc++.
FLAGS=(-std=c++20 -fsanitize=fuzzer,address -g -O1 -I"$TM_TOP/src")
# Leak checking needs ptrace, which containers often refuse; the reads allocate nothing that lives on.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

mkdir -p "$OUT"
failed=0
while read -r target sources; do
  case "$target" in ''|'#'*) continue ;; esac
  if [ ${#ONLY[@]} -gt 0 ] && [[ ! " ${ONLY[*]} " == *" $target "* ]]; then continue; fi
  entry=$FUZZ_DIR/${target}_fuzz.cpp
  srcs=()
  for s in $sources; do srcs+=("$TM_TOP/$s"); done
  echo "fuzz $target: building"
  if ! "$CXX" "${FLAGS[@]}" "$entry" "${srcs[@]}" -o "$OUT/$target" 2>"$OUT/$target.build.log"; then
    echo "fuzz $target: BUILD FAILED"; cat "$OUT/$target.build.log"; failed=1; continue
  fi
  # libFuzzer adds what it finds to the first folder only: a working copy, seeds read-only.
  work=$OUT/corpus/$target
  rm -rf "$work"; mkdir -p "$work" "$OUT/crashes"
  seeds=()
  [ -d "$FUZZ_DIR/corpus/$target" ] && seeds+=("$FUZZ_DIR/corpus/$target")
  log=$OUT/$target.log
  "$OUT/$target" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
    -artifact_prefix="$OUT/crashes/$target-" "$work" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ $rc -ne 0 ]; then
    echo "fuzz $target: CRASH after ${runs:-?} executions (exit $rc); input in $OUT/crashes/"
    grep -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$log" | head -20
    failed=1
  else
    echo "fuzz $target: ${runs:-?} executions in ${SECONDS_EACH} s, no crash ($(ls "$work" | wc -l) corpus inputs)"
  fi
done <"$FUZZ_DIR/targets.txt"
exit $failed
