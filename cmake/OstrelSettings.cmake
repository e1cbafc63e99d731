# ostrel_embed_settings(<target> <source> [PAGES <file.page>...])
#
# Compiles the readable settings file <source> into the reporter's settings
# resource (RCDATA "TOSTREL") with the host tool from PELMORA_HOST_BIN and
# links it into <target>, and stamps the built file's image checksum, which
# the reporter compares at start-up when CheckFileCrc is set. The same
# resource object carries the assistant's pages (RCDATA "OAP<NAME>"): the
# built-in ones from OSTREL_PAGES_DIR, and those given with PAGES, where a
# page whose object has a built-in page's name replaces it. Windows builds
# only.
function(_ostrel_stamp_checksum target tool)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${tool}" stamp "$<TARGET_FILE:${target}>"
    COMMENT "Stamping the image checksum of ${target}"
    VERBATIM)
endfunction()

function(ostrel_embed_settings target source)
  cmake_parse_arguments(PARSE_ARGV 2 _arg "" "" "PAGES")
  if(_arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "ostrel_embed_settings: unexpected arguments ${_arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT WIN32)
    message(FATAL_ERROR "ostrel_embed_settings: Windows targets only")
  endif()
  if(NOT PELMORA_HOST_BIN)
    message(FATAL_ERROR "ostrel_embed_settings: set PELMORA_HOST_BIN to the native build's bin folder")
  endif()
  get_filename_component(_src "${source}" ABSOLUTE)
  # The installed package names its copy of the built-in pages (and keeps
  # it beside this file); in the source tree they lie beside the assistant.
  set(_pages_dir "${OSTREL_PAGES_DIR}")
  if(NOT _pages_dir AND IS_DIRECTORY "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/pages")
    set(_pages_dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/pages")
  elseif(NOT _pages_dir)
    set(_pages_dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../crash/ui/assistant/pages")
  endif()
  file(GLOB _pages "${_pages_dir}/*.page")
  if(NOT _pages)
    message(FATAL_ERROR "ostrel_embed_settings: no built-in pages in ${_pages_dir}")
  endif()
  list(SORT _pages)
  # After the built-in ones: a page of the same name replaces its namesake.
  foreach(_page IN LISTS _arg_PAGES)
    get_filename_component(_page "${_page}" ABSOLUTE)
    list(APPEND _pages "${_page}")
  endforeach()
  set(_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}_settings")
  set(_bin "${_dir}/settings.bin")
  set(_rc "${_dir}/settings.rc")
  set(_pages_rc "${_dir}/pages.rc")
  set(_all_rc "${_dir}/resources.rc")
  set(_obj "${_dir}/settings_res.o")
  # Made now: the command runs inside it, and a Makefile generator enters
  # its working folder before any of its commands can make it.
  file(MAKE_DIRECTORY "${_dir}")
  # windres takes one script; written only when it changes, so configuring
  # again rebuilds nothing.
  file(CONFIGURE OUTPUT "${_all_rc}" CONTENT "#include \"settings.rc\"\n#include \"pages.rc\"\n")
  add_custom_command(
    OUTPUT "${_obj}"
    BYPRODUCTS "${_bin}" "${_rc}" "${_pages_rc}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${_dir}"
    COMMAND "${PELMORA_HOST_BIN}/ostrel-settings" compile "${_src}" "${_bin}" "${_rc}"
    COMMAND "${PELMORA_HOST_BIN}/ostrel-pages" bundle "${_pages_rc}" ${_pages}
    COMMAND ${CMAKE_RC_COMPILER} --input-format=rc --output-format=coff
            -I "${_dir}" -i "${_all_rc}" -o "${_obj}"
    DEPENDS "${_src}" ${_pages} "${_all_rc}" "${PELMORA_HOST_BIN}/ostrel-settings"
            "${PELMORA_HOST_BIN}/ostrel-pages"
    WORKING_DIRECTORY "${_dir}"
    COMMENT "Settings and page resources for ${target} from ${source}"
    VERBATIM)
  add_custom_target(${target}_settings_resource DEPENDS "${_obj}")
  add_dependencies(${target} ${target}_settings_resource)
  target_sources(${target} PRIVATE "${_obj}")
  set_source_files_properties("${_obj}" PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  # Last of the target's post-build steps, after any that rewrite the file
  # (symbol information, say): deferred to the end of the directory.
  # (A deferred call's arguments are expanded when it runs: bake them in.)
  cmake_language(EVAL CODE "cmake_language(DEFER CALL _ostrel_stamp_checksum [[${target}]] [[${PELMORA_HOST_BIN}/ostrel-settings]])")
endfunction()
