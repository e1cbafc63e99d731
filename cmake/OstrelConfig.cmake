# The installed crash reporter: Ostrel::ostrel, ostrel_embed_settings() and
# ostrel_embed_symbols().
include(CMakeFindDependencyMacro)
set(ZLIB_USE_STATIC_LIBS ON)
find_dependency(ZLIB)
include("${CMAKE_CURRENT_LIST_DIR}/OstrelTargets.cmake")
# The settings compiler installed beside the library runs on the build host.
get_filename_component(PELMORA_HOST_BIN "${CMAKE_CURRENT_LIST_DIR}/../../../bin" ABSOLUTE)
# The built-in assistant pages ostrel_embed_settings() embeds.
set(OSTREL_PAGES_DIR "${CMAKE_CURRENT_LIST_DIR}/pages")
include("${CMAKE_CURRENT_LIST_DIR}/OstrelSettings.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/OstrelSymbols.cmake")
