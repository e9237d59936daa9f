# SPDX-License-Identifier: GPL-3.0-or-later
# Puts beside a cross-built Windows program what it needs to run: the Qt plugins named, the
# DLLs the program and those plugins load, and theirs in turn (found by reading their imports,
# as windeployqt would), MinGW's runtime DLLs among them, stripped. Run as a script:
#   cmake -DPROGRAMS=a.exe;b.exe -DDESTINATION=dir -DPLUGINS=platforms/x.dll;styles/y.dll
#         -DSEARCH=dir;dir -DOBJDUMP=... -DSTRIP=... -P deployqt.cmake
# PLUGINS are full paths whose last two parts (kind/name.dll) are kept. A DLL that is imported
# and is in none of the SEARCH folders is taken for a part of Windows, unless its name says it
# is Qt's or MinGW's: then the deployment fails rather than ship a folder that cannot start.
cmake_minimum_required(VERSION 3.22)

foreach(required PROGRAMS DESTINATION SEARCH OBJDUMP)
    if(NOT ${required})
        message(FATAL_ERROR "deployqt: ${required} is not given")
    endif()
endforeach()

# The DLLs of the search folders, by their name in lower case: Windows matches DLL names
# regardless of case, and CMake's own file(GET_RUNTIME_DEPENDENCIES) looks them up in lower case,
# which finds nothing on a Linux file system ("qt6core.dll" for Qt6Core.dll). So the imports are
# read here, with objdump, and matched as Windows would.
set(names)
set(paths)
foreach(dir IN LISTS SEARCH)
    file(GLOB dlls "${dir}/*.dll")
    foreach(dll IN LISTS dlls)
        get_filename_component(name "${dll}" NAME)
        string(TOLOWER "${name}" name)
        list(FIND names "${name}" known)
        if(known EQUAL -1)
            list(APPEND names "${name}")
            list(APPEND paths "${dll}")
        endif()
    endforeach()
endforeach()

set(queue ${PROGRAMS})
foreach(plugin IN LISTS PLUGINS)
    get_filename_component(kind "${plugin}" DIRECTORY)
    get_filename_component(kind "${kind}" NAME)
    file(COPY "${plugin}" DESTINATION "${DESTINATION}/${kind}")
    list(APPEND queue "${plugin}")
endforeach()

set(deploy)
while(queue)
    list(POP_FRONT queue file)
    execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "deployqt: cannot read the imports of ${file}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: " "" import "${import}")
        string(STRIP "${import}" import)
        string(TOLOWER "${import}" import)
        list(FIND names "${import}" at)
        if(at EQUAL -1)
            # Not in the search folders: a part of Windows, unless it is Qt's or MinGW's.
            if(import MATCHES "^(qt6|libgcc|libstdc|libwinpthread)")
                message(FATAL_ERROR "deployqt: ${file} needs ${import}, in none of: ${SEARCH}")
            endif()
            continue()
        endif()
        list(GET paths ${at} dll)
        if(NOT dll IN_LIST deploy)
            list(APPEND deploy "${dll}")
            list(APPEND queue "${dll}")
        endif()
    endforeach()
endwhile()

foreach(dll IN LISTS deploy)
    get_filename_component(name "${dll}" NAME)
    set(target "${DESTINATION}/${name}")
    if(EXISTS "${target}" AND NOT "${dll}" IS_NEWER_THAN "${target}")
        continue()
    endif()
    file(COPY "${dll}" DESTINATION "${DESTINATION}")
    # MinGW's runtime comes with its symbols; a technician's folder needs none.
    if(STRIP AND name MATCHES "^lib(gcc|stdc|winpthread)")
        execute_process(COMMAND "${STRIP}" --strip-unneeded "${target}" COMMAND_ERROR_IS_FATAL ANY)
    endif()
    message(STATUS "deployqt: ${name}")
endforeach()
