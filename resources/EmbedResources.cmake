# cmake -DDIR=<resources folder> -DOUT=<file.cpp> -P EmbedResources.cmake
#
# Writes the Linux build's resource table: the bytes of png/01.png .. png/23.png and of
# background.bmp as arrays, and orvex_register_resources(), which hands them to the platform
# layer (it calls it once, on the first lookup that finds nothing).
set(body "// Generated from the files in resources/ by EmbedResources.cmake; do not edit.\n")
string(APPEND body "#include \"platform/Platform.h\"\n\n#include <cstdint>\n\nnamespace {\n\n")
set(calls "")
foreach(id RANGE 1 23)
    if(id LESS 10)
        set(file "${DIR}/png/0${id}.png")
    else()
        set(file "${DIR}/png/${id}.png")
    endif()
    file(READ "${file}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
    string(APPEND body "const std::uint8_t png${id}[] = {\n${bytes}};\n\n")
    string(APPEND calls "    platform::registerResource(platform::kPngResourceType, ${id}, png${id}, sizeof png${id});\n")
endforeach()
file(READ "${DIR}/background.bmp" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
string(APPEND body "const std::uint8_t background[] = {\n${bytes}};\n\n} // namespace\n\n")
string(APPEND body "extern \"C\" void orvex_register_resources()\n{\n${calls}")
string(APPEND body "    platform::registerResource(platform::kBitmapResourceType, 128, background, sizeof background);\n}\n")
file(WRITE "${OUT}.part" "${body}")
file(RENAME "${OUT}.part" "${OUT}")
