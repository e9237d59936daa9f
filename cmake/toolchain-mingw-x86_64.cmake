# SPDX-License-Identifier: GPL-3.0-or-later
# 64-bit Windows programs: the reader and its unit tests.
set(METERREADER_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
