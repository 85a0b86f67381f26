# Runs the picture generator into OUT and compares every file with the committed one in
# COMMITTED: a change to the drawing code must come with the regenerated pictures.
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}/png")
execute_process(COMMAND "${GENERATOR}" --fonts "${FONTS}" --out "${OUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the generator failed (${result})")
endif()
set(names background.bmp)
foreach(id RANGE 1 23)
    if(id LESS 10)
        list(APPEND names png/0${id}.png)
    else()
        list(APPEND names png/${id}.png)
    endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/CompareFiles.cmake)
orvex_compare_files("${OUT}" "${COMMITTED}" "${names}"
    "(run `cmake --build --preset linux --target orvex_skin_regenerate` and commit them)")
