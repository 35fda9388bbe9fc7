# Cross-compiling for 32-bit Windows (i686), which runs on 32- and 64-bit
# Windows alike, with Debian's MinGW-w64 (posix threads, as Qt is built).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KD7_MINGW i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KD7_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KD7_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KD7_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KD7_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
