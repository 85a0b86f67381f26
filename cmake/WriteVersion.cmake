# Writes OUT, a header that defines ORVEX_VERSION_STRING: `git describe --tags --always
# --dirty` of the source tree SOURCE, or FALLBACK-nogit where there is no git or no history
# (a tree exported without .git). Run on every build; OUT is rewritten only when the text
# changes, so a build at the same commit recompiles nothing.
#   cmake -DSOURCE=DIR -DOUT=FILE -DFALLBACK=1.0 -P WriteVersion.cmake
set(version "")
find_program(ORVEX_GIT git)
if(ORVEX_GIT AND EXISTS "${SOURCE}/.git")
    execute_process(COMMAND "${ORVEX_GIT}" -C "${SOURCE}" describe --tags --always --dirty
                    OUTPUT_VARIABLE version ERROR_QUIET RESULT_VARIABLE result
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT result EQUAL 0)
        set(version "")
    endif()
endif()
if(version STREQUAL "")
    set(version "${FALLBACK}-nogit")
endif()
set(text "// Written by cmake/WriteVersion.cmake on every build.\n#pragma once\n#define ORVEX_VERSION_STRING \"${version}\"\n")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
else()
    set(old "")
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUT}" "${text}")
endif()
