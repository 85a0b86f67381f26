# The committed pictures of the editor (docs/) against the ones this build takes (BUILT): a
# change to the editor or to the figure must come with the new pictures.
#   cmake -DBUILT=DIR -DCOMMITTED=DIR -P ComparePictures.cmake
set(differing "")
foreach(name editor.png editor-callouts.png editor-blend.png)
    if(NOT EXISTS "${BUILT}/${name}")
        message(FATAL_ERROR "${BUILT}/${name} is missing (build the target orvex_docs_pictures)")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${BUILT}/${name}" "${COMMITTED}/${name}"
                    RESULT_VARIABLE same)
    if(NOT same EQUAL 0)
        list(APPEND differing ${name})
    endif()
endforeach()
if(differing)
    message(FATAL_ERROR "the editor's pictures in docs/ differ from this build's (${BUILT}): ${differing}\n"
                        "look at them, then run `cmake --build --preset linux --target orvex_docs_regenerate` "
                        "and commit them")
endif()
message(STATUS "the editor's pictures in docs/ are current")
