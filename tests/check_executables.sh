#!/usr/bin/env bash
# Each shipped executable is a 32-bit PE file whose imports are all Windows system DLLs.
set -u
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|version|msvcrt|ws2_32|gdiplus|wininet|urlmon|ntdll|winmm|uxtheme|psapi|wtsapi32|imm32|msimg32|rpcrt4|crypt32|secur32|userenv|netapi32|mpr|winspool\.drv|setupapi)\.dll$'
status=0
for exe in "$@"; do
  if ! file -b "$exe" | grep -q '^PE32 executable.*Intel 80386'; then
    echo "FAIL $exe: not a 32-bit PE: $(file -b "$exe")"; status=1
  fi
  while read -r dll; do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    if ! echo "$lower" | grep -Eq "$allowed"; then
      echo "FAIL $exe imports $dll, which is not a Windows system DLL"; status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  [ $status -eq 0 ] && echo "ok   $exe: $(file -b "$exe" | cut -d, -f1); imports: $(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
done
exit $status
