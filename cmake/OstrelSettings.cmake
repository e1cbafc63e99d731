# ostrel_embed_settings(<target> <source>)
#
# Compiles the readable settings file <source> into the reporter's settings
# resource (RCDATA "TOSTREL") with the host tool from PELMORA_HOST_BIN and
# links it into <target>, and stamps the built file's image checksum, which
# the reporter compares at start-up when CheckFileCrc is set. Windows builds
# only.
function(_ostrel_stamp_checksum target tool)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${tool}" stamp "$<TARGET_FILE:${target}>"
    COMMENT "Stamping the image checksum of ${target}"
    VERBATIM)
endfunction()

function(ostrel_embed_settings target source)
  if(NOT WIN32)
    message(FATAL_ERROR "ostrel_embed_settings: Windows targets only")
  endif()
  if(NOT PELMORA_HOST_BIN)
    message(FATAL_ERROR "ostrel_embed_settings: set PELMORA_HOST_BIN to the native build's bin folder")
  endif()
  get_filename_component(_src "${source}" ABSOLUTE)
  set(_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}_settings")
  set(_bin "${_dir}/settings.bin")
  set(_rc "${_dir}/settings.rc")
  set(_obj "${_dir}/settings_res.o")
  # Made now: the command runs inside it, and a Makefile generator enters
  # its working folder before any of its commands can make it.
  file(MAKE_DIRECTORY "${_dir}")
  add_custom_command(
    OUTPUT "${_obj}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${_dir}"
    COMMAND "${PELMORA_HOST_BIN}/ostrel-settings" compile "${_src}" "${_bin}" "${_rc}"
    COMMAND ${CMAKE_RC_COMPILER} --input-format=rc --output-format=coff
            -I "${_dir}" -i "${_rc}" -o "${_obj}"
    DEPENDS "${_src}" "${PELMORA_HOST_BIN}/ostrel-settings"
    WORKING_DIRECTORY "${_dir}"
    COMMENT "Settings resource for ${target} from ${source}"
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
