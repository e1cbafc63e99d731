# GoogleTest: Debian's own build natively, built from Debian's sources for
# Windows.
if(NOT TARGET gtest)
  if(NOT WIN32)
    find_package(GTest CONFIG QUIET)
  endif()
  if(GTest_FOUND)
    add_library(gtest ALIAS GTest::gtest)
    add_library(gmock ALIAS GTest::gmock)
    add_library(gtest_main ALIAS GTest::gtest_main)
  else()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
  endif()
endif()

# A unit test binary: sources, libraries; registered with CTest (under Wine
# when cross-compiling).
function(pelmora_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gmock gtest_main)
  pelmora_warnings(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
endfunction()
