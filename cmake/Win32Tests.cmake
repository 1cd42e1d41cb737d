# The tests of the 32-bit Windows build, run under Wine as CTest's emulator.
# GoogleTest is built for the target from the sources Debian ships with
# libgtest-dev. The model simulator needs Tcl and the end-to-end tests need
# Icarus, so neither is built here; the test binaries leave out the files
# whose tests need fork, POSIX signals or waiting on child processes
# (TAVRI_WIN32_SKIPPED_TESTS below).
set(TAVRI_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${TAVRI_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

set(TAVRI_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix CACHE PATH "The Wine prefix the tests run in")

# Test files that fork, send POSIX signals or wait on child processes.
set(TAVRI_WIN32_SKIPPED_TESTS
  "/(live_writer_test|live_test|lock_process_test|lock_wait_test|size_limit_test|write_fault_test|live_step_test|vcd_follow_test)\\.cpp$")

# One CTest test per binary: a Wine start per test case would cost more than
# the cases themselves.
function(tavri_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  list(FILTER ARG_SOURCES EXCLUDE REGEX "${TAVRI_WIN32_SKIPPED_TESTS}")
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/unit/posix_calls_win32.h)
  tavri_warnings(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    LABELS win32
    TIMEOUT 600
    ENVIRONMENT "TAVRI_BUILD_DIR=${CMAKE_BINARY_DIR};WINEDEBUG=-all;WINEPREFIX=${TAVRI_WINE_PREFIX}")
endfunction()
