# Writes a C++ source holding a picture as stored picture data: a length byte and the
# graphic's class name, then the picture file's bytes.
#   cmake -DINPUT=file -DCLASS=TGIFImage -DSYMBOL=name -DOUTPUT=file.cpp -P EmbedStoredPicture.cmake
file(READ ${INPUT} payload HEX)
string(LENGTH "${CLASS}" class_length)
string(HEX "${CLASS}" class_hex)
if(class_length LESS 16)
    set(length_hex "0${class_length}")
else()
    math(EXPR length_hex "${class_length}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${length_hex}" 2 -1 length_hex)
endif()
set(all "${length_hex}${class_hex}${payload}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${all}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n#include <cstdint>\n\n"
    "extern const uint8_t ${SYMBOL}[] = {${bytes}};\nextern const size_t ${SYMBOL}Size = sizeof(${SYMBOL});\n")
