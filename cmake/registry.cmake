# SPDX-License-Identifier: GPL-3.0-or-later
# meterreader_registry(SOURCES_VAR FOLDER TEMPLATE OUTPUT PREFIX TYPE): the parts that register
# themselves, one per file of FOLDER. Puts the files in SOURCES_VAR and writes OUTPUT from
# TEMPLATE, whose @registry_declarations@ become "TYPE PREFIX_<file>();" and whose
# @registry_entries@ become the calls, so that a new part is a new file and nothing else.
function(meterreader_registry sources_var folder template output prefix type)
    file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
    list(SORT sources)
    set(registry_declarations "")
    set(registry_entries "")
    foreach(source IN LISTS sources)
        get_filename_component(stem ${source} NAME_WE)
        string(APPEND registry_declarations "${type} ${prefix}_${stem}();\n")
        string(APPEND registry_entries "        ${prefix}_${stem}(),\n")
    endforeach()
    configure_file(${template} ${output} @ONLY)
    set(${sources_var} ${sources} PARENT_SCOPE)
endfunction()
