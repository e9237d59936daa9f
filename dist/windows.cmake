# SPDX-License-Identifier: GPL-3.0-or-later
# What a Windows machine gets: one flat folder holding the programs, the 32-bit helper and
# vendor library, whatever the window's deployment puts beside meterreader.exe, and the licence.
# Packed two ways from the same install tree:
#   cpack -G ZIP    meterreader-<version>-win64.zip, a portable folder to unpack anywhere
#   cpack -G NSIS   meterreader-<version>-win64-setup.exe, an installer into Program Files
#                   with a Start-menu entry for the window and an entry in Add/Remove Programs
# Both generators run on Linux too (makensis from Debian's nsis); see tests/wine/installer.sh.

# The GPL's text beside the programs; .txt so that a double click opens it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_BINDIR}
    RENAME LICENSE.txt)
# The user's guide, which the window's help menu opens from beside the window. Qt's Print
# Support DLL, which the report's printing needs, comes with Qt's runtime (the window imports it).
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_BINDIR})

if(TARGET meterreader AND MSVC)
    # Built with Visual Studio: windeployqt puts Qt's runtime beside the window, and
    # InstallRequiredSystemLibraries the MSVC runtime, so that the folder runs on a machine
    # without either.
    find_program(WINDEPLOYQT windeployqt HINTS ${Qt6_DIR}/../../../bin)
    if(WINDEPLOYQT)
        install(CODE "execute_process(COMMAND \"${WINDEPLOYQT}\" --release --no-translations
            --no-compiler-runtime \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/meterreader.exe\"
            COMMAND_ERROR_IS_FATAL ANY)")
    else()
        message(WARNING "windeployqt not found: the package will lack the Qt runtime")
    endif()
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION ${CMAKE_INSTALL_BINDIR})
    include(InstallRequiredSystemLibraries)
endif()

set(CPACK_GENERATOR ZIP)
# On Windows NSIS is rarely on the PATH: also where its installer puts it.
find_program(MAKENSIS makensis PATHS "[HKEY_LOCAL_MACHINE\\SOFTWARE\\NSIS]"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\NSIS]")
if(MAKENSIS)
    list(APPEND CPACK_GENERATOR NSIS)
    # A 64-bit installer where makensis has the stubs for one (Debian's nsis has them, the NSIS
    # distributed for Windows does not): it runs where the 64-bit programs run, also on a host
    # that cannot run 32-bit programs, and it sees the registry and Program Files as they do.
    get_filename_component(nsisbin "${MAKENSIS}" DIRECTORY)
    set(nsis64 OFF)
    foreach(stubs "${nsisbin}/Stubs" "${nsisbin}/../share/nsis/Stubs")
        if(EXISTS "${stubs}/lzma-amd64-unicode")
            set(nsis64 ON)
        endif()
    endforeach()
endif()
# The NSIS texts below hold backslashes and quotes for makensis; written as they are.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_NAME meterreader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "meterreader developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads the accounting registers of a postage meter")
set(CPACK_PACKAGE_INSTALL_DIRECTORY meterreader)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY meterreader)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The installer is meterreader-<version>-win64-setup.exe; the ZIP keeps the plain name.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cpackwindows.cmake)

set(CPACK_NSIS_PACKAGE_NAME "Meter Reader")
set(CPACK_NSIS_DISPLAY_NAME "Meter Reader")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
if(TARGET meterreader)
    set(CPACK_NSIS_INSTALLED_ICON_NAME meterreader.exe)
else()
    set(CPACK_NSIS_INSTALLED_ICON_NAME meterread.exe)
endif()

set(uninstallkey "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\")
string(APPEND uninstallkey ${CPACK_PACKAGE_INSTALL_REGISTRY_KEY})
# The 64-bit programs get a 64-bit installer or none: a 32-bit one would put its keys in the
# 32-bit view of the registry and cannot start where no 32-bit program runs. cpack refuses it
# (cpackwindows.cmake) when makensis was missing at configure time or has no 64-bit stubs.
set(CPACK_METERREADER_64BIT OFF)
set(CPACK_METERREADER_NSIS64 OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_METERREADER_64BIT ON)
    set(CPACK_METERREADER_MAKENSIS "${MAKENSIS}")
    if(nsis64)
        set(CPACK_METERREADER_NSIS64 ON)
        set(CPACK_NSIS_DEFINES "Target amd64-unicode")
        # In a 64-bit installer $PROGRAMFILES is the 64-bit Program Files. Not $PROGRAMFILES64:
        # CPack's script names the folder before it sets the target, and makensis then reads
        # it as a 32-bit installer's "the other view", which in the 64-bit installer is
        # Program Files (x86) wherever that exists (every 64-bit Windows).
        set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
    elseif(MAKENSIS)
        message(WARNING "${MAKENSIS} has no 64-bit (amd64-unicode) stubs: no installer can be "
            "made for the 64-bit programs, only the ZIP. Debian's nsis has them.")
        list(REMOVE_ITEM CPACK_GENERATOR NSIS)
    else()
        message(WARNING "makensis not found (Debian's nsis): no installer, only the ZIP; "
            "install nsis and configure again for one")
    endif()
endif()
string(APPEND CPACK_NSIS_EXTRA_INSTALL_COMMANDS
    "WriteRegStr SHCTX \"${uninstallkey}\" \"InstallLocation\" \"$INSTDIR\"")

# The Start menu holds the window and the uninstaller; meterread is for a command prompt.
if(TARGET meterreader)
    set(shortcut "$SMPROGRAMS\\$STARTMENU_FOLDER\\Meter Reader.lnk")
    set(CPACK_NSIS_CREATE_ICONS_EXTRA "CreateShortCut \"${shortcut}\" \"$INSTDIR\\meterreader.exe\"")
    set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete \"$SMPROGRAMS\\$MUI_TEMP\\Meter Reader.lnk\"\n")
endif()
# CPack removes Software\<vendor>\<key> but leaves the vendor's key, empty, behind. This text
# comes after that removal in the uninstaller.
string(APPEND CPACK_NSIS_DELETE_ICONS_EXTRA
    "DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"")
include(CPack)
