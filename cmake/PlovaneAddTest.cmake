# plovane_add_test(<name> SOURCES <files...> LIBS <targets...>)
# Registers one GoogleTest executable; its cases are discovered and run by ctest.
find_package(GTest REQUIRED)
include(GoogleTest)

function(plovane_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} plovane_test_support GTest::gtest GTest::gtest_main
                                        plovane_common_cfg)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
