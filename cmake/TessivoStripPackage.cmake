# Run by cpack on the staged files just before it packs them. CPack's stripping leaves the
# compilers' version notes in the programs; Debian's dh_strip takes them out, and so do we.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
    if(IS_SYMLINK "${file}")
        continue()
    endif()
    file(READ "${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        execute_process(
            COMMAND "${CPACK_TESSIVO_STRIP}" --remove-section=.comment --remove-section=.note
                    "${file}"
            RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "${CPACK_TESSIVO_STRIP} failed on ${file}")
        endif()
    endif()
endforeach()
