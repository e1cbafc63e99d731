# Writes OUTPUT, a C++ source defining pelmora::sim::NAME as the bytes of
# INPUT followed by a zero.
file(READ ${INPUT} _hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
set(_sixteen "")
foreach(_i RANGE 15)
  string(APPEND _sixteen "0x..,")
endforeach()
string(REGEX REPLACE "(${_sixteen})" "\\1\n" _bytes "${_bytes}")
file(WRITE ${OUTPUT} "namespace pelmora::sim {\nextern const unsigned char ${NAME}[];\nconst unsigned char ${NAME}[] = {\n${_bytes}0};\n}  // namespace pelmora::sim\n")
