# Writes the MD5 of the built cleandos.exe as a header: cmake -DEXE=... -DOUT=... -P this file.
file(MD5 "${EXE}" digest)
string(TOLOWER "${digest}" digest)
file(WRITE "${OUT}" "// Generated at build time from cleandos.exe; do not edit.\n#pragma once\n#define TM_CLEANDOS_MD5 \"${digest}\"\n")
