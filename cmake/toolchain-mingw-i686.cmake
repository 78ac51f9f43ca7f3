# Cross-build for 32-bit Windows with MinGW-w64 (posix thread model: std::mutex and
# GoogleTest need it). Programs built for the target run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TM_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${TM_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TM_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TM_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TM_WINE wine REQUIRED)
set(TM_WINEARCH win32)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TM_WINE})
