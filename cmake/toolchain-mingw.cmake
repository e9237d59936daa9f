# Cross-compiling for Windows with MinGW-w64 (posix threads) on Debian. Included by
# toolchain-mingw-x86_64.cmake and toolchain-mingw-i686.cmake, which set METERREADER_MINGW_ARCH.
# Everything is linked statically, so the .exe and .dll files run without MinGW's runtime DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${METERREADER_MINGW_ARCH})

set(triple ${METERREADER_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Tests and helper programs of the build run under Wine (WINEPREFIX from the environment).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
