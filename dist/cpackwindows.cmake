# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack once for each generator of the Windows packages.
if(CPACK_GENERATOR STREQUAL "NSIS")
    # cpack finds a makensis of its own even where configuring found none, and would then make a
    # 32-bit installer of the 64-bit programs: refused, with what to do instead.
    if(CPACK_METERREADER_64BIT AND NOT CPACK_METERREADER_NSIS64)
        if(CPACK_METERREADER_MAKENSIS)
            set(cause "${CPACK_METERREADER_MAKENSIS} has no 64-bit (amd64-unicode) stubs")
        else()
            set(cause "makensis was not found when this build was configured")
        endif()
        message(FATAL_ERROR "no 32-bit installer is made for the 64-bit programs: ${cause}. "
            "Install Debian's nsis, configure the build again, then run cpack.")
    endif()
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
