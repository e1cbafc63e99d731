# ostrel_embed_symbols(<target> [KEEP_DEBUG] [OSTREL] [MINIMAL])
#
# After <target> links, attaches its symbol information (units, functions,
# lines read from its DWARF and symbol table) as resource "EXCEPT" in a new
# last section, so no code or data moves and the shipped program names its
# own functions and lines without debug files. Other resources (icon,
# version, TOSTREL settings) are carried over unchanged.
#
#   default     DWARF and COFF symbols are dropped from the target; the
#               linked file is kept beside it as <name>.dbg.exe (for
#               addr2line and debuggers: same addresses)
#   KEEP_DEBUG  the target keeps its DWARF and symbols
#   OSTREL      also writes the container beside the target as <name>.ostrel
#   MINIMAL     attaches data without names; the named data goes to
#               <name>.ostrel and its stamp into TOSTREL's MinDebugInfo
#
# Compile the target (and the libraries it links) with -g. Needs the host
# tool ostrel-symbols in PELMORA_HOST_BIN.
function(ostrel_embed_symbols target)
  cmake_parse_arguments(E "KEEP_DEBUG;OSTREL;MINIMAL" "" "" ${ARGN})
  if(NOT PELMORA_HOST_BIN)
    message(FATAL_ERROR "ostrel_embed_symbols(${target}): set PELMORA_HOST_BIN to the native build's bin folder")
  endif()
  if(NOT EXISTS "${PELMORA_HOST_BIN}/ostrel-symbols")
    # A partial native build: the program still builds, without its symbols.
    message(WARNING "ostrel_embed_symbols(${target}): ${PELMORA_HOST_BIN}/ostrel-symbols "
      "not built yet; ${target} gets no symbol information")
    return()
  endif()
  set(args)
  if(NOT E_KEEP_DEBUG)
    list(APPEND args --strip --debug-copy
      "$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.dbg.exe")
  endif()
  if(E_OSTREL)
    list(APPEND args --ostrel)
  endif()
  if(E_MINIMAL)
    list(APPEND args --minimal)
  endif()
  target_compile_options(${target} PRIVATE -g)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${PELMORA_HOST_BIN}/ostrel-symbols" embed ${args} "$<TARGET_FILE:${target}>"
    COMMENT "Attaching symbol information to ${target}"
    VERBATIM)
endfunction()
