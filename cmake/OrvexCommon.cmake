# Compiler settings and helpers shared by every folder of the tree.

set(ORVEX_WARNINGS -Wall -Wextra)
if(ORVEX_WERROR)
    list(APPEND ORVEX_WARNINGS -Werror)
endif()

# Warnings and definitions every target of ours compiles with.
function(orvex_compile_settings target)
    target_compile_options(${target} PRIVATE ${ORVEX_WARNINGS})
    if(WIN32)
        target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _CRT_SECURE_NO_WARNINGS)
    endif()
endfunction()

# Targets outside the layers (tools, tests, benchmarks) see all of src/.
function(orvex_configure target)
    orvex_compile_settings(${target})
    target_include_directories(${target} PRIVATE ${ORVEX_ROOT}/src)
endfunction()

# A layer of src/ is seen only through a view of its own: build/layers/<layer>/ holds one
# entry, <layer>, a link to src/<layer>. A layer's library publishes its own view, so a
# library sees exactly the layers it links (and what they link): an include that points up
# or sideways finds no file and does not compile. Sets `out` to the view folder.
function(orvex_layer_view layer out)
    set(view ${CMAKE_BINARY_DIR}/layers/${layer})
    if(NOT EXISTS ${view}/${layer})
        file(MAKE_DIRECTORY ${view})
        file(CREATE_LINK ${ORVEX_ROOT}/src/${layer} ${view}/${layer} SYMBOLIC)
    endif()
    set(${out} ${view} PARENT_SCOPE)
endfunction()

# A library of the layer src/<layer>: it sees its own layer and, through what it links, the
# layers below it.
function(orvex_layer_library target layer)
    orvex_compile_settings(${target})
    orvex_layer_view(${layer} view)
    target_include_directories(${target} PUBLIC ${view})
endfunction()

# The static library of a layer (the calling folder of src/), made of every .cpp in it (plus
# extra sources); LIBS are the layers it may use.
function(orvex_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(${name} STATIC ${sources} ${ARG_SOURCES})
    get_filename_component(layer ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    orvex_layer_library(${name} ${layer})
    if(ARG_LIBS)
        target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    endif()
endfunction()

if(ORVEX_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(ORVEX_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

if(WIN32)
    # The product and every Windows test program link the runtimes statically, so that
    # nothing but system DLLs is needed next to them.
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # Every 32-bit x86 build computes as the product does: SSE2 arithmetic rather than the
    # x87 unit, whose 80-bit intermediates would give other samples and other pixels.
    add_compile_options(-msse2 -mfpmath=sse)
    if(NOT WIN32)
        # 64-bit file offsets and inode numbers: without them readdir() and stat() fail with
        # EOVERFLOW as soon as a directory cookie, an inode number or a size does not fit
        # in 32 bits (ext4's hashed directories, XFS and btrfs inodes, large files), and a
        # cab's folder then lists no file and its IR is never read.
        add_compile_definitions(_FILE_OFFSET_BITS=64)
    endif()
endif()

# Threads for std::thread (the posix flavour of mingw provides them).
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# PNG and zlib: Debian's packages natively; static builds for mingw (see MingwDeps.cmake).
include(MingwDeps)
