#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under Wine in a fresh prefix.
# Extra arguments go to ctest (for example: -R system_tests).
set -euo pipefail
TM_TOP=$(cd "$(dirname "$0")/.." && pwd)
"$TM_TOP/scripts/setup.sh"
source "$TM_TOP/scripts/wine_env.sh"
tm_wine_env
tm_build

if [ "$TM_ARCH" = 64 ]; then
  # The suite runs the 64-bit build of the same sources. The shipped 32-bit programs and the
  # 32-bit tests are still built (the 64-bit packer seals their data: its output does not depend
  # on the build) and the programs' format checked; only running them needs a kernel that runs
  # 32-bit programs.
  echo "test: this kernel runs no 32-bit programs; the suite runs the 64-bit build under wine64"
  product=$TM_TOP/build
  cmake -S "$TM_TOP" -B "$product" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TM_TOP/cmake/toolchain-mingw-i686.cmake" -DTM_BUILD_TESTS=ON \
    -DTM_HOST_PACKER="$TM_BUILD/tools/packer/packer.exe" -DTM_HOST_WINE=/usr/lib/wine/wine64 \
    -DTM_HOST_WINEARCH=win64 >/dev/null
  cmake --build "$product"
  "$TM_TOP/tests/check_executables.sh" i686 "$product/src/app/Tidemark.exe" \
    "$product/src/cli/tidemark-cli.exe"
fi

export WINEPREFIX=$TM_BUILD/wine-test
echo "test: fresh Wine prefix $WINEPREFIX"
tm_prefix_create "$WINEPREFIX"

TM_XVFB_PID=
cleanup() {
  WINEPREFIX=$TM_BUILD/wine-test wineserver -k >/dev/null 2>&1 || true
  [ -n "$TM_XVFB_PID" ] && kill "$TM_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
tm_start_xvfb
wineserver -p
# Start the prefix's background services now, detached from ctest's output pipes: a test that
# started them would hand them its pipes, and ctest would wait for them to close.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

cd "$TM_BUILD"
ctest --output-on-failure --no-tests=error "$@"
