# Renders the manual to one HTML file with pandoc, its pictures embedded, its title taken
# from its first heading and the version of this build (from VERSION_HEADER) below it.
#   cmake -DPANDOC=pandoc -DIN=manual.md -DOUT=manual.html -DCSS=manual.css
#         -DRESOURCES=dir1:dir2 -DVERSION_HEADER=OrvexVersion.h -P RenderManual.cmake
file(STRINGS "${VERSION_HEADER}" line REGEX "ORVEX_VERSION_STRING")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" version "${line}")
execute_process(
    COMMAND "${PANDOC}" "${IN}" --from gfm --to html5 --standalone --self-contained
            --shift-heading-level-by=-1 --toc --toc-depth=1 --css "${CSS}" --resource-path "${RESOURCES}"
            --metadata "subtitle=Version ${version}" --metadata "pagetitle=The Orvex manual"
            --output "${OUT}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "pandoc could not render ${IN}")
endif()
