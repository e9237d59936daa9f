# SPDX-License-Identifier: GPL-3.0-or-later
# 32-bit Windows programs: what loads a 32-bit vendor library, and the unit tests once more.
set(METERREADER_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
