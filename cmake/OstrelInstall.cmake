# Installed, the reporter is a CMake package: find_package(Ostrel) gives
# Ostrel::ostrel and ostrel_embed_settings() (with its host tool). Included
# after every area, when all the reporter's libraries exist. Only the public
# API folder is installed as headers; the other libraries go along as the
# archives `ostrel` links.
if(TARGET ostrel)
  set(_ostrel_targets ostrel ostrel_api ostrel_base ostrel_settings ostrel_settings_win ostrel_flow
    ostrel_compression ostrel_imaging ostrel_imaging_win ostrel_disasm ostrel_symbols ostrel_stack
    ostrel_compose ostrel_report_file ostrel_lists ostrel_progress ostrel_exception_box
    ostrel_assistant_model ostrel_delivery_model ostrel_upload_model ostrel_sending ostrel_clipboard ostrel_lifetime)
  install(TARGETS ${_ostrel_targets} EXPORT OstrelTargets ARCHIVE DESTINATION lib)
  install(EXPORT OstrelTargets NAMESPACE Ostrel:: DESTINATION lib/cmake/Ostrel)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/crash/include/ostrel DESTINATION include
    FILES_MATCHING PATTERN "*.h")
  # find_package(Ostrel 4) and the like: the version the reports show.
  file(STRINGS ${PROJECT_SOURCE_DIR}/crash/include/ostrel/version.h _ostrel_version_line
    REGEX "^#define OSTREL_VERSION \"")
  string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" _ostrel_version "${_ostrel_version_line}")
  include(CMakePackageConfigHelpers)
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/OstrelConfigVersion.cmake
    VERSION ${_ostrel_version} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/OstrelSettings.cmake
    ${PROJECT_SOURCE_DIR}/cmake/OstrelSymbols.cmake ${PROJECT_SOURCE_DIR}/cmake/OstrelConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/OstrelConfigVersion.cmake DESTINATION lib/cmake/Ostrel)
  # The built-in assistant pages every embedded resource carries.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/crash/ui/assistant/pages/ DESTINATION lib/cmake/Ostrel/pages
    FILES_MATCHING PATTERN "*.page")
  # The host tools ostrel_embed_settings and ostrel_embed_symbols run: the
  # optimised ones when they were built (scripts/build.sh builds them), else
  # those the build itself used.
  set(OSTREL_INSTALL_TOOLS "" CACHE PATH "bin folder of the optimised host tools to install")
  set(_ostrel_tools "${OSTREL_INSTALL_TOOLS}")
  if(NOT _ostrel_tools)
    set(_ostrel_tools "${PELMORA_HOST_BIN}")
  endif()
  if(_ostrel_tools)
    install(PROGRAMS ${_ostrel_tools}/ostrel-settings ${_ostrel_tools}/ostrel-pages
      ${_ostrel_tools}/ostrel-symbols DESTINATION bin)
  endif()
endif()
