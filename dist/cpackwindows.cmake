# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack once for each generator of the Windows packages.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
