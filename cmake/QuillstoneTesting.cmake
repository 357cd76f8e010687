if(CMAKE_CROSSCOMPILING)
  # No GoogleTest package for the target system: Debian's sources are built with the project
  # (they define the GTest:: targets themselves).
  set(QUILLSTONE_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QUILLSTONE_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# quillstone_add_test(<name> [QT] [PREFIX <text>] SOURCES <files...> LIBS <targets...>
#                     [LABELS <labels...>])
# One GoogleTest executable per area; every test case becomes its own ctest entry so that
# `ctest -j` spreads them over the cores. QT: widget tests, with a QApplication for main().
# PREFIX goes before every ctest name, so that `ctest -R <prefix>` picks the area.
function(quillstone_add_test name)
  cmake_parse_arguments(ARG "QT" "PREFIX" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_QT)
    set(test_main quillstone_qt_test_main)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  else()
    set(test_main GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quillstone_test_support GTest::gtest
                                        GTest::gmock ${test_main})
  quillstone_warnings(${name})
  # A list value would be split into separate properties on its way through discovery.
  string(REPLACE ";" "\\;" labels "${ARG_LABELS}")
  gtest_discover_tests(${name}
    TEST_PREFIX "${ARG_PREFIX}"
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${labels}" TIMEOUT 120
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
