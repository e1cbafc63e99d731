# pelmora_fuzzer(<name> LIBS <libraries...>): the libFuzzer program
# <name>.cpp of the current folder, with ASan and UBSan (clang,
# -DPELMORA_FUZZ=ON).
function(pelmora_fuzzer name)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  add_executable(${name} ${name}.cpp)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  pelmora_warnings(${name})
endfunction()
