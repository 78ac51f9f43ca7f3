#!/usr/bin/env bash
# Installs everything the build, the run and the tests need on a Debian 12 machine.
# Idempotent: a second run only checks and returns.
set -euo pipefail

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo "$@"; else
      echo "setup: run as root (or install sudo)" >&2; exit 1; fi
  else "$@"; fi
}

PACKAGES=(
  cmake ninja-build make file
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  # the 64-bit test build, for kernels that run no 32-bit programs (see scripts/wine_env.sh)
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  googletest
  # the undo journal's index (header-only)
  nlohmann-json3-dev
  wine wine32:i386 wine64
  xvfb xdotool x11-utils imagemagick
  locales fonts-wqy-microhei
  # native fuzzing of the parsers: libFuzzer and AddressSanitizer come with compiler-rt
  clang libclang-rt-14-dev
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root dpkg --add-architecture i386
  need_root apt-get update
fi
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  need_root apt-get update
  need_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The Chinese locales Wine takes its code page and language from.
want_locales=(zh_CN.UTF-8 zh_TW.UTF-8)
gen=0
for l in "${want_locales[@]}"; do
  norm=$(echo "$l" | sed 's/UTF-8/utf8/')
  if ! locale -a 2>/dev/null | grep -qx "$norm"; then
    need_root sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | need_root tee -a /etc/locale.gen >/dev/null
    gen=1
  fi
done
[ $gen -eq 1 ] && need_root locale-gen
echo "setup: ready"
