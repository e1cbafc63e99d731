# Installed, the reporter is a CMake package: find_package(Ostrel) gives
# Ostrel::ostrel and ostrel_embed_settings() (with its host tool). Included
# after every area, when all the reporter's libraries exist.
if(TARGET ostrel)
  set(_ostrel_targets ostrel ostrel_flow ostrel_integrity ostrel_disasm ostrel_symbols ostrel_stack ostrel_report_file
    ostrel_compose ostrel_lists ostrel_progress
    ostrel_settings ostrel_settings_win ostrel_com ostrel_imaging_win ostrel_imaging
    ostrel_compression)
  install(TARGETS ${_ostrel_targets} EXPORT OstrelTargets ARCHIVE DESTINATION lib)
  install(EXPORT OstrelTargets NAMESPACE Ostrel:: DESTINATION lib/cmake/Ostrel)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/crash/core/ DESTINATION include/crash/core
    FILES_MATCHING PATTERN "*.h" PATTERN "*.inc")
  install(FILES ${PROJECT_SOURCE_DIR}/imaging/win/nv_bitmap.h DESTINATION include/imaging/win)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/OstrelSettings.cmake
    ${PROJECT_SOURCE_DIR}/cmake/OstrelConfig.cmake DESTINATION lib/cmake/Ostrel)
  if(PELMORA_HOST_BIN)
    install(PROGRAMS ${PELMORA_HOST_BIN}/ostrel-settings DESTINATION bin)
  endif()
endif()
