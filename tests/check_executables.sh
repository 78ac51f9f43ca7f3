#!/usr/bin/env bash
# Each shipped executable is a PE file for the build's processor (i686: the 32-bit product;
# x86_64: the 64-bit test build) whose imports are all Windows system DLLs.
# Usage: check_executables.sh <i686|x86_64> <exe>...
set -u
case "$1" in
  i686) want='^PE32 executable.*Intel 80386' objdump=i686-w64-mingw32-objdump ;;
  x86_64) want='^PE32[+] executable.*x86-64' objdump=x86_64-w64-mingw32-objdump ;;
  *) echo "unknown processor $1"; exit 2 ;;
esac
shift
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|version|msvcrt|ws2_32|gdiplus|wininet|urlmon|ntdll|winmm|uxtheme|psapi|wtsapi32|imm32|msimg32|rpcrt4|crypt32|secur32|userenv|netapi32|mpr|winspool\.drv|setupapi)\.dll$'
status=0
for exe in "$@"; do
  if ! file -b "$exe" | grep -q "$want"; then
    echo "FAIL $exe: not a PE for this processor: $(file -b "$exe")"; status=1
  fi
  while read -r dll; do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    if ! echo "$lower" | grep -Eq "$allowed"; then
      echo "FAIL $exe imports $dll, which is not a Windows system DLL"; status=1
    fi
  done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  [ $status -eq 0 ] && echo "ok   $exe: $(file -b "$exe" | cut -d, -f1); imports: $("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
done
exit $status
