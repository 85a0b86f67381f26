# For the scripts that check committed, generated files against what this build makes:
# fails naming every file of NAMES that differs between the folders BUILT and COMMITTED, with
# HINT saying what to do about it.
function(orvex_compare_files built committed names hint)
    set(differing "")
    foreach(name ${names})
        if(NOT EXISTS "${built}/${name}")
            message(FATAL_ERROR "${built}/${name} is missing")
        endif()
        execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${built}/${name}" "${committed}/${name}"
                        RESULT_VARIABLE same)
        if(NOT same EQUAL 0)
            list(APPEND differing ${name})
        endif()
    endforeach()
    if(differing)
        message(FATAL_ERROR "${committed} differs from this build's ${built}: ${differing}\n${hint}")
    endif()
    list(LENGTH names count)
    message(STATUS "all ${count} files of ${committed} are current")
endfunction()
