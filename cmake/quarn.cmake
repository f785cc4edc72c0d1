# quarn_library(NAME [deps...]): a static library of every .cpp in the current
# folder except the tests (*_test.cpp). A folder without sources is an error:
# a library that lost its files must not configure as an empty one.
function(quarn_library name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  list(FILTER srcs EXCLUDE REGEX "_test\\.cpp$")
  if(NOT srcs)
    message(FATAL_ERROR "quarn_library(${name}): no sources in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# Builds every test program that quarn_tests makes, and only those: the way
# to build a selection (QUARN_TEST_PROGRAMS) without the rest of the project.
if(QUARN_TESTS AND NOT TARGET quarn_test_programs)
  add_custom_target(quarn_test_programs)
endif()

# quarn_tests(PREFIX [deps...]): one test program per *_test.cpp in the
# current folder, named PREFIX_<file>, registered with CTest. A folder that
# sets QUARN_TESTS_CHECK_LEAKS has its tests run with LeakSanitizer in the
# sanitizer build (the others leave it off: system libraries they load keep
# blocks until the end). With
# QUARN_TEST_PROGRAMS set, a program whose name does not match it is neither
# made nor registered.
function(quarn_tests prefix)
  if(NOT QUARN_TESTS)
    return()
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(t ${tests})
    get_filename_component(n ${t} NAME_WE)
    set(target ${prefix}_${n})
    if(QUARN_TEST_PROGRAMS AND NOT target MATCHES "${QUARN_TEST_PROGRAMS}")
      continue()
    endif()
    add_executable(${target} ${t})
    target_link_libraries(${target} PRIVATE ${ARGN} testsupport GTest::gmock GTest::gtest_main)
    set(properties TIMEOUT 300 ENVIRONMENT "QUARN_MSGBOX_TEST=1")
    if(QUARN_SANITIZE AND QUARN_TESTS_CHECK_LEAKS)
      list(APPEND properties ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=set:detect_leaks=1:abort_on_error=1")
    endif()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
    add_dependencies(quarn_test_programs ${target})
  endforeach()
endfunction()

# quarn_test_cost(PROGRAM COST TEST...): gives the named tests of a test
# program a ctest COST, so that `ctest -j` starts them first on a build that
# has no timings of its own yet (a clean clone); a long test started last
# runs on alone while the other cores idle. The tests exist only once the
# program has listed them, so the property is set from a file ctest reads
# after the program's list.
function(quarn_test_cost program cost)
  if(NOT TARGET ${program})
    return()
  endif()
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${program}_cost.cmake)
  set(text "")
  foreach(test ${ARGN})
    string(APPEND text "set_tests_properties([==[${test}]==] PROPERTIES COST ${cost})\n")
  endforeach()
  file(WRITE ${file} "${text}")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
