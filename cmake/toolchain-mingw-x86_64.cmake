# The same sources built for 64-bit Windows. Tidemark ships as the 32-bit build; this one exists
# for machines whose kernel runs no 32-bit programs (wine32 cannot start there), where the test
# suite runs this build under wine64 instead. It also keeps the code honest about pointer sizes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TM_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${TM_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TM_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TM_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's "wine" starts the 32-bit loader whenever it is installed; a 64-bit program needs the
# 64-bit loader itself.
find_program(TM_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
set(TM_WINEARCH win64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TM_WINE})
