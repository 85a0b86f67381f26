# The committed pictures of the editor (docs/) against the ones this build takes (BUILT): a
# change to the editor or to the figure must come with the new pictures.
#   cmake -DBUILT=DIR -DCOMMITTED=DIR -P ComparePictures.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/CompareFiles.cmake)
orvex_compare_files("${BUILT}" "${COMMITTED}" "editor.png;editor-callouts.png;editor-blend.png"
    "look at them, then run `cmake --build --preset linux --target orvex_docs_regenerate` and commit them")
