# The version text of this build, as the generated header OrvexVersion.h (ORVEX_VERSION_STRING),
# brought up to date on every build by the target orvex_version: `git describe --tags --always
# --dirty`, or PROJECT_VERSION-nogit without git. A target that includes the header calls
# orvex_use_version(target).
include_guard(GLOBAL)

set(ORVEX_VERSION_DIR ${CMAKE_BINARY_DIR}/generated CACHE INTERNAL "where OrvexVersion.h is written")
add_custom_target(orvex_version
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${ORVEX_ROOT} -DOUT=${ORVEX_VERSION_DIR}/OrvexVersion.h
            -DFALLBACK=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/WriteVersion.cmake
    BYPRODUCTS ${ORVEX_VERSION_DIR}/OrvexVersion.h
    COMMENT "Checking the version" VERBATIM)

function(orvex_use_version target)
    target_include_directories(${target} PRIVATE ${ORVEX_VERSION_DIR})
    add_dependencies(${target} orvex_version)
endfunction()
