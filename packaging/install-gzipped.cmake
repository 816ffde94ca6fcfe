# Used by the install rules (install(CODE)): installs files compressed as Debian wants manual pages
# and the changelog, with gzip -9n (no name or time inside, so each build gives the same bytes).
#   tamso_install_gzipped(<destination folder> <scratch folder> <file>...)
# installs each <file> as <destination folder>/<file name>.gz, read-only for all but its owner.
function(tamso_install_gzipped destination scratch)
    if(NOT ARGN)
        return()
    endif()
    file(MAKE_DIRECTORY "${scratch}")
    set(gzipped)
    foreach(file IN LISTS ARGN)
        get_filename_component(name "${file}" NAME)
        execute_process(COMMAND gzip -9n -c "${file}" OUTPUT_FILE "${scratch}/${name}.gz"
                        RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "gzip could not compress ${file}")
        endif()
        list(APPEND gzipped "${scratch}/${name}.gz")
    endforeach()
    file(INSTALL ${gzipped} DESTINATION "${destination}"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()
