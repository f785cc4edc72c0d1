# quarn_library(NAME [deps...]): a static library of every .cpp in the current
# folder except the tests (*_test.cpp).
function(quarn_library name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  list(FILTER srcs EXCLUDE REGEX "_test\\.cpp$")
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# quarn_tests(PREFIX [deps...]): one test program per *_test.cpp in the
# current folder, named PREFIX_<file>, registered with CTest.
function(quarn_tests prefix)
  if(NOT QUARN_TESTS)
    return()
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(t ${tests})
    get_filename_component(n ${t} NAME_WE)
    set(target ${prefix}_${n})
    add_executable(${target} ${t})
    target_link_libraries(${target} PRIVATE ${ARGN} testsupport GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${target}
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300 ENVIRONMENT "QUARN_MSGBOX_TEST=1")
  endforeach()
endfunction()
