# Sourced by the run and test scripts: the project's Wine settings and prefix handling.
# Never uses ~/.wine.

TM_TOP=${TM_TOP:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# Tidemark is a 32-bit program, built in build/ and run by wine32 in a 32-bit prefix. A kernel
# that runs no 32-bit programs (IA-32 emulation off) cannot start wine32 at all; there the
# same sources are built for 64-bit Windows in build64/ and run by wine64 in a 64-bit prefix,
# and the 32-bit product is still built (see scripts/test.sh). TM_ARCH=32 or 64 chooses by hand.
tm_host_runs_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
if [ -z "${TM_ARCH:-}" ]; then
  if tm_host_runs_32bit; then TM_ARCH=32; else TM_ARCH=64; fi
fi
if [ "$TM_ARCH" = 64 ]; then
  TM_BUILD=${TM_BUILD:-$TM_TOP/build64}
  TM_TOOLCHAIN=$TM_TOP/cmake/toolchain-mingw-x86_64.cmake
else
  TM_BUILD=${TM_BUILD:-$TM_TOP/build}
  TM_TOOLCHAIN=$TM_TOP/cmake/toolchain-mingw-i686.cmake
fi

# Debian's wine, wineboot and the other launchers start the 32-bit loader whenever wine32 is
# installed; for a 64-bit prefix a folder of small launchers for the 64-bit loader goes first
# on PATH, so the scripts and tests that call "wine" keep working unchanged.
tm_wine64_launchers() {
  local dir=$TM_BUILD/wine64-launchers tool
  mkdir -p "$dir"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$dir/wine"
  for tool in wineboot winecfg winepath regedit; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 %s.exe "$@"\n' "$tool" >"$dir/$tool"
  done
  chmod +x "$dir"/*
  export PATH="$dir:$PATH"
  export WINELOADER=/usr/lib/wine/wine64
}

tm_wine_env() {
  if [ "$TM_ARCH" = 64 ]; then
    export WINEARCH=win64
    tm_wine64_launchers
  else
    export WINEARCH=win32
  fi
  export WINEDEBUG=${WINEDEBUG:--all}
  export LC_ALL=${TM_LOCALE:-zh_CN.UTF-8}
  # No Mono / Gecko installer prompts while a prefix is made.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  unset WINESERVER 2>/dev/null || true
}

# A prefix is sandboxed: only C: exists (Z: would expose the whole Linux file system to a junk
# clean, since Wine reports it as a fixed drive) and the user folders are plain folders rather
# than links into the Linux home folder.
tm_prefix_sanitize() {
  local prefix=$1 entry
  for entry in "$prefix"/dosdevices/*; do
    case "$(basename "$entry")" in
      c:|com*|lpt*|nul) ;;
      *) rm -f "$entry" ;;
    esac
  done
  # Wine links user folders (Desktop, Documents, ... and deeper ones such as Templates) into the
  # Linux home folder: every link under drive_c that leads out of the prefix becomes a plain
  # folder, so nothing the program walks or cleans reaches outside.
  local top target
  top=$(cd "$prefix" && pwd -P)
  while IFS= read -r -d '' entry; do
    target=$(readlink -f "$entry" 2>/dev/null || true)
    case "$target" in
      "$top"/*) ;;
      *) rm -f "$entry"; mkdir -p "$entry" ;;
    esac
  done < <(find "$prefix/drive_c" -type l -print0 2>/dev/null)
}

# The build tree is the one Linux folder the prefix sees, as drive T: of type CD-ROM: programs
# started from it know their own folder (without a drive they would see \\?\unix\ paths),
# and nothing that cleans fixed drives ever walks it.
tm_prefix_map_build() {
  local prefix=$1
  ln -sfn "$TM_BUILD" "$prefix/dosdevices/t:"
}

# tm_prefix_create DIR: a new prefix of WINEARCH, sandboxed, windows unmanaged (a bare Xvfb has no
# window manager, and every window close would wait 2 s for one).
tm_prefix_create() {
  local prefix=$1
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  WINEPREFIX=$prefix wineboot -i >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  tm_prefix_sanitize "$prefix"
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  WINEPREFIX=$prefix wine reg add 'HKLM\Software\Wine\Drives' /v 't:' /t REG_SZ /d cdrom /f >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  tm_prefix_sanitize "$prefix"
  tm_prefix_map_build "$prefix"
}

# tm_prefix_ensure DIR: create the prefix once, sanitize it every time.
tm_prefix_ensure() {
  local prefix=$1
  if [ ! -f "$prefix/system.reg" ]; then
    tm_prefix_create "$prefix"
  else
    tm_prefix_sanitize "$prefix"
    tm_prefix_map_build "$prefix"
  fi
}

tm_build() {
  cmake -S "$TM_TOP" -B "$TM_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TM_TOOLCHAIN" >/dev/null
  cmake --build "$TM_BUILD"
}

# tm_start_xvfb: starts an Xvfb on a free display number and exports DISPLAY; its pid goes
# to TM_XVFB_PID.
tm_start_xvfb() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  TM_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}
