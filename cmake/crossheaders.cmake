# SPDX-License-Identifier: GPL-3.0-or-later
# Cross builds: the header-only libraries (CLI11, nlohmann-json) come from the build machine's
# Debian packages. Their own package files would hand the cross compiler all of /usr/include,
# whose C library headers are not Windows': here each gets a folder of its own holding only its
# headers, and a package file that points there, so find_package() works as in a native build.
function(meterreader_crossheaders package target folder)
    set(root ${CMAKE_BINARY_DIR}/crossheaders/${package})
    file(MAKE_DIRECTORY ${root}/include)
    if(NOT EXISTS ${root}/include/${folder})
        file(CREATE_LINK /usr/include/${folder} ${root}/include/${folder} SYMBOLIC)
    endif()
    file(WRITE ${root}/${package}Config.cmake
        "if(NOT TARGET ${target})\n"
        "    add_library(${target} INTERFACE IMPORTED)\n"
        "    set_target_properties(${target} PROPERTIES\n"
        "        INTERFACE_INCLUDE_DIRECTORIES \"${root}/include\")\n"
        "endif()\n")
    file(WRITE ${root}/${package}ConfigVersion.cmake
        "include(\"/usr/share/cmake/${package}/${package}ConfigVersion.cmake\")\n")
    set(${package}_DIR ${root} CACHE PATH "" FORCE)
endfunction()

meterreader_crossheaders(CLI11 CLI11::CLI11 CLI)
meterreader_crossheaders(nlohmann_json nlohmann_json::nlohmann_json nlohmann)
