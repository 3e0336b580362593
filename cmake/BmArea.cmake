# bm_area(NAME SOURCES files... LIBS libs... [PRIVATE_LIBS libs...]): a static
# library made of the listed source files of the calling folder (paths
# relative to it), linked against LIBS, which its users see too, and
# PRIVATE_LIBS, whose headers only the library itself sees. Sources are listed, not found by globbing, so that a new file
# is seen by CMake (and moc) through the change to the list that names it.
function(bm_area name)
  cmake_parse_arguments(PARSE_ARGV 1 area "" "" "SOURCES;LIBS;PRIVATE_LIBS")
  if(area_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "bm_area(${name}): unexpected arguments ${area_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT area_SOURCES)
    message(FATAL_ERROR "bm_area(${name}): no SOURCES listed")
  endif()
  add_library(bm_${name} STATIC ${area_SOURCES})
  target_include_directories(bm_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(bm_${name} PUBLIC ${area_LIBS})
  add_dependencies(bm_${name} layer_check)
  if(area_PRIVATE_LIBS)
    target_link_libraries(bm_${name} PRIVATE ${area_PRIVATE_LIBS})
  endif()
endfunction()

# bm_test(NAME SOURCE LIBS...): one QtTest executable registered with CTest.
function(bm_test name source)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE Qt6::Test bm_testsupport ${ARGN})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    TIMEOUT 300)
endfunction()

# bm_server_test(NAME): marks a test made by bm_test as one that also runs
# against the throwaway PostgreSQL server of the run (tests/support/
# pgcluster.sh). CTest starts the server before the first such test and
# stops it after the last; the test finds it through BM_TEST_SERVER, the
# server's state file. Call it in the folder that made the test.
function(bm_server_test name)
  if(NOT TEST ${name})
    message(FATAL_ERROR "bm_server_test(${name}): no such test; make it with bm_test first")
  endif()
  if(NOT BM_TEST_SERVER_STATE)
    message(FATAL_ERROR "bm_server_test(${name}): BM_TEST_SERVER_STATE is not set (tests/CMakeLists.txt)")
  endif()
  set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED pgserver)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "BM_TEST_SERVER=${BM_TEST_SERVER_STATE}")
endfunction()

# bm_both_engines(NAME): runs a test made by bm_test a second time, as
# NAME_server, with the program's database on the throwaway PostgreSQL server
# instead of the file (BM_TEST_ENGINE=server): every case of the suite then
# holds on both engines.
function(bm_both_engines name)
  add_test(NAME ${name}_server COMMAND ${name})
  set_tests_properties(${name}_server PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;BM_TEST_ENGINE=server"
    TIMEOUT 600)
  bm_server_test(${name}_server)
endfunction()
