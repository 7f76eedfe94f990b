# Test helpers shared by every directory.
#   kestrin_native_test(NAME SOURCES ... LIBS ...)  GoogleTest on Linux, label "native"
#   kestrin_win_test(NAME SOURCES ... LIBS ...)     GoogleTest built with MinGW, run under Wine, label "win"
# Wine tests share one X display and one virtual desktop, so they run one at a time.

if(WIN32)
  # GoogleTest from the source Debian ships, built with our cross compiler. Our warning flags are
  # not applied to it.
  get_directory_property(_kestrin_saved_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${_kestrin_saved_options}")
else()
  find_package(GTest REQUIRED)
endif()

function(kestrin_native_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS native TIMEOUT 300)
endfunction()

function(kestrin_win_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS win RUN_SERIAL ON TIMEOUT 600)
endfunction()
