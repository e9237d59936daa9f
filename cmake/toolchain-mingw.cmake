# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiling for Windows with MinGW-w64 (posix threads) on Debian. Included by
# toolchain-mingw-x86_64.cmake and toolchain-mingw-i686.cmake, which set METERREADER_MINGW_ARCH.
# Our own programs are linked statically, so that they run without MinGW's runtime DLLs; Qt's
# DLLs bring that runtime along (deployed beside the window).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${METERREADER_MINGW_ARCH})

set(triple ${METERREADER_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
# Qt for Windows, built by scripts/build-qt-windows.sh into a folder of its own.
if(METERREADER_QT_WINDOWS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${METERREADER_QT_WINDOWS})
    list(APPEND CMAKE_PREFIX_PATH ${METERREADER_QT_WINDOWS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Tests and helper programs of the build run under Wine (WINEPREFIX from the environment).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine.sh)
