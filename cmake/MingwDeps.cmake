# PNG decoding with zlib underneath, as the INTERFACE target orvex_png.
#
# Natively it is Debian's libpng. For the mingw targets it is libpng built as a static
# library from Debian's sources, with the static mingw zlib, by scripts/mingw-deps.sh at
# configure time (once per build folder; later configures find it in place and return at
# once). Both are linked into the DLL by full path: nothing may make the DLL import a
# libpng or zlib DLL, since wine ships a zlib1.dll that would hide such a mistake in tests.
include_guard(GLOBAL)

if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(ORVEX_MINGW_TRIPLET x86_64-w64-mingw32)
    else()
        set(ORVEX_MINGW_TRIPLET i686-w64-mingw32)
    endif()
    set(ORVEX_MINGW_DEPS ${CMAKE_BINARY_DIR}/deps CACHE PATH "static libpng/zlib for this target")
    find_program(ORVEX_BASH bash REQUIRED)
    execute_process(
        COMMAND ${ORVEX_BASH} ${CMAKE_CURRENT_LIST_DIR}/../scripts/mingw-deps.sh
                ${ORVEX_MINGW_TRIPLET} ${ORVEX_MINGW_DEPS}
        RESULT_VARIABLE orvex_mingw_deps_result)
    if(NOT orvex_mingw_deps_result EQUAL 0)
        message(FATAL_ERROR "scripts/mingw-deps.sh could not provide libpng and zlib for "
                            "${ORVEX_MINGW_TRIPLET} in ${ORVEX_MINGW_DEPS} (see its messages above)")
    endif()
    add_library(orvex_png INTERFACE)
    target_include_directories(orvex_png INTERFACE ${ORVEX_MINGW_DEPS}/include)
    # libpng before zlib: a static link resolves left to right.
    target_link_libraries(orvex_png INTERFACE ${ORVEX_MINGW_DEPS}/lib/libpng16.a
                          ${ORVEX_MINGW_DEPS}/lib/libz.a)
else()
    find_package(PNG REQUIRED)
    add_library(orvex_png INTERFACE)
    target_link_libraries(orvex_png INTERFACE PNG::PNG)
endif()
