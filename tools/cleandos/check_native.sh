#!/usr/bin/env bash
# check_native.sh EXE DIGEST_HEADER: the boot tool is a native-subsystem image that imports
# ntdll.dll and nothing else, and the generated digest is the MD5 of that very file.
set -eu
exe=$1 header=$2
# objdump of either MinGW-w64 reads both PE formats.
dump=$(x86_64-w64-mingw32-objdump -p "$exe" 2>/dev/null || i686-w64-mingw32-objdump -p "$exe")
grep -q 'Subsystem[[:space:]]*00000001' <<<"$dump" || { echo "not a native-subsystem image"; exit 1; }
dlls=$(grep 'DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
[ "$dlls" = "ntdll.dll " ] || { echo "imports: $dlls"; exit 1; }
want=$(md5sum "$exe" | cut -d' ' -f1)
grep -q "#define TM_CLEANDOS_MD5 \"$want\"" "$header" || { echo "digest header does not match $want"; exit 1; }
echo "cleandos.exe: native, ntdll only, digest $want"
