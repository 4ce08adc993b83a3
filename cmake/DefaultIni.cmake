# The desk's default INI (config/TOLVA.INI, kept in UTF-8 in the sources) in
# the sites' code page, CP950. Written at configure time; the configure step
# runs again when the source file changes.
function(tolva_write_default_ini path)
    set(_source "${PROJECT_SOURCE_DIR}/config/TOLVA.INI")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_source}")
    get_filename_component(_dir "${path}" DIRECTORY)
    file(MAKE_DIRECTORY "${_dir}")
    execute_process(COMMAND iconv -f UTF-8 -t CP950 "${_source}"
                    OUTPUT_FILE "${path}" RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "could not convert config/TOLVA.INI to CP950")
    endif()
endfunction()
