find_package(GTest REQUIRED)
include(GoogleTest)

# quillstone_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest executable per area; every test case becomes its own ctest entry so that
# `ctest -j` spreads them over the cores.
function(quillstone_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  quillstone_warnings(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
