# SPDX-License-Identifier: GPL-3.0-or-later
# The Qt runtime beside the window on Windows, in the build tree (so that the window and its
# tests run from there, under Wine too) and in an installation. windeployqt is not built for a
# Linux host: deployqt.cmake reads the imports of the programs and plugins instead.
set(METERREADER_OBJDUMP ${CMAKE_CXX_COMPILER})
string(REGEX REPLACE "g\\+\\+(-posix)?$" "objdump" METERREADER_OBJDUMP "${CMAKE_CXX_COMPILER}")
string(REGEX REPLACE "g\\+\\+(-posix)?$" "strip" METERREADER_STRIP "${CMAKE_CXX_COMPILER}")
# MinGW's runtime DLLs: where the compiler keeps libstdc++, and winpthread's folder.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
    OUTPUT_VARIABLE stdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
    OUTPUT_VARIABLE winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(stdcxx "${stdcxx}" DIRECTORY)
if(NOT EXISTS "${winpthread}")
    set(winpthread ${CMAKE_FIND_ROOT_PATH}/lib/libwinpthread-1.dll)
endif()
get_filename_component(winpthread "${winpthread}" DIRECTORY)
get_target_property(qtcore Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qtbin "${qtcore}" DIRECTORY)
set(METERREADER_DEPLOY_SEARCH "${qtbin};${stdcxx};${winpthread}")

# meterreader_deploy_qt(TARGET [INSTALL DESTINATION] [PLUGINS target...]): after each build of
# TARGET, its DLLs and the plugins go beside it; with INSTALL, into DESTINATION of the
# installation as well.
function(meterreader_deploy_qt target)
    cmake_parse_arguments(D "" "INSTALL" "PLUGINS" ${ARGN})
    set(plugins)
    foreach(plugin IN LISTS D_PLUGINS)
        list(APPEND plugins "$<TARGET_FILE:${plugin}>")
    endforeach()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} "-DPROGRAMS=$<TARGET_FILE:${target}>"
            "-DDESTINATION=$<TARGET_FILE_DIR:${target}>" "-DPLUGINS=${plugins}"
            "-DSEARCH=${METERREADER_DEPLOY_SEARCH}" "-DOBJDUMP=${METERREADER_OBJDUMP}"
            "-DSTRIP=${METERREADER_STRIP}" -P ${PROJECT_SOURCE_DIR}/cmake/deployqt.cmake
        VERBATIM)
    if(D_INSTALL)
        install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\"
            \"-DPROGRAMS=$<TARGET_FILE:${target}>\"
            \"-DDESTINATION=\${CMAKE_INSTALL_PREFIX}/${D_INSTALL}\"
            \"-DPLUGINS=${plugins}\" \"-DSEARCH=${METERREADER_DEPLOY_SEARCH}\"
            \"-DOBJDUMP=${METERREADER_OBJDUMP}\" \"-DSTRIP=${METERREADER_STRIP}\"
            -P \"${PROJECT_SOURCE_DIR}/cmake/deployqt.cmake\" COMMAND_ERROR_IS_FATAL ANY)")
    endif()
endfunction()
