# cmake -DIN=file -DOUT=file.cpp -DNAME=symbol -P EmbedBytes.cmake
# Writes the bytes of IN as `const unsigned char NAME[]` and `const std::size_t NAME##Size`, so
# the GUI-free core can carry data without a resource system.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the file readable in a diff tool.
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
    "// Generated from ${IN} at build time; do not edit.\n"
    "#include <cstddef>\n"
    "extern const unsigned char ${NAME}[];\n"
    "extern const std::size_t ${NAME}Size;\n"
    "alignas(8) const unsigned char ${NAME}[] = {\n${bytes}0};\n"
    "const std::size_t ${NAME}Size = ${size};\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
