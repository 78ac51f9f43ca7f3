#!/usr/bin/env bash
# Each shipped executable is a PE file for the build's processor (i686: the 32-bit product;
# x86_64: the 64-bit test build) whose imports, bound at start or at first call, are all Windows
# system DLLs, and which carries no debugging sections (they live in <name>.debug beside it).
# In the 64-bit build the console program binds nothing at start beyond kernel32, advapi32 and
# the C runtime: every other system DLL is bound when a command first calls into it. The 32-bit
# build binds everything at start: GNU ld leaves its delay-import slots empty (see
# cmake/delay_imports.cmake), so an image with delay-import descriptors fails there.
# Usage: check_executables.sh <i686|x86_64> <exe>...
set -u
processor=$1
case "$processor" in
  i686) want='^PE32 executable.*Intel 80386' objdump=i686-w64-mingw32-objdump nm=i686-w64-mingw32-nm ;;
  x86_64) want='^PE32[+] executable.*x86-64' objdump=x86_64-w64-mingw32-objdump nm=x86_64-w64-mingw32-nm ;;
  *) echo "unknown processor $1"; exit 2 ;;
esac
shift
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|version|msvcrt|ws2_32|gdiplus|wininet|urlmon|ntdll|winmm|uxtheme|psapi|wtsapi32|imm32|msimg32|rpcrt4|crypt32|secur32|userenv|netapi32|mpr|winspool\.drv|setupapi)\.dll$'
status=0
for exe in "$@"; do
  if ! file -b "$exe" | grep -q "$want"; then
    echo "FAIL $exe: not a PE for this processor: $(file -b "$exe")"; status=1
  fi
  bound=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  # The delay-import descriptors are named in the symbol table, which lives in <name>.debug.
  symbols="${exe%.exe}.debug"
  [ -f "$symbols" ] || symbols=$exe
  delayed=$("$nm" "$symbols" 2>/dev/null | sed -n 's/.*__DELAY_IMPORT_DESCRIPTOR_lib\(.*\)_delay_a$/\1.dll/p' | sort -u)
  for dll in $bound $delayed; do
    if ! echo "$dll" | grep -Eq "$allowed"; then
      echo "FAIL $exe imports $dll, which is not a Windows system DLL"; status=1
    fi
  done
  if "$objdump" -h "$exe" | grep -q ' \.debug_'; then
    echo "FAIL $exe carries debugging sections"; status=1
  fi
  if [ "$processor" = i686 ] && [ -n "$delayed" ]; then
    echo "FAIL $exe: delay-import descriptors in a 32-bit image ($(echo $delayed))"; status=1
  fi
  if [ "$processor" = x86_64 ] && [ -z "$delayed" ]; then
    echo "FAIL $exe: no system DLL bound at first call (no delay-import descriptors in $symbols)"; status=1
  fi
  if [ "$processor" = x86_64 ] && [ "$(basename "$exe")" = tidemark-cli.exe ]; then
    for dll in $bound; do
      if ! echo "$dll" | grep -Eq '^(kernel32|advapi32|msvcrt)\.dll$'; then
        echo "FAIL $exe binds $dll at start"; status=1
      fi
    done
  fi
  [ $status -eq 0 ] && echo "ok   $exe: $(file -b "$exe" | cut -d, -f1); bound at start: $(echo $bound); at first call: $(echo $delayed)"
done
exit $status
