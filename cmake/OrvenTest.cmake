# orven_test(NAME SOURCES src... [LIBS lib...]): one GoogleTest binary registered with CTest.
# GoogleTest is built from Debian's source package so that native and cross builds share it.
include(GoogleTest)

if(NOT TARGET gtest)
  set(ORVEN_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${ORVEN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

function(orven_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main orven_warnings)
  # Tests find their data beside the sources.
  target_compile_definitions(${name} PRIVATE ORVEN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(CMAKE_CROSSCOMPILING)
    # Under Wine every process takes about a second to start: one run of the binary runs all
    # its cases (GoogleTest names each one that fails), where a test per case would start
    # Wine some 130 times more.
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
