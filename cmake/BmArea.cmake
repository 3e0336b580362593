# bm_area(NAME LIBS...): a static library made of every source file in the
# calling folder (sub-folders included), linked against LIBS.
function(bm_area name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(bm_${name} STATIC ${sources})
  # When files come or go, moc must look at the area again: its own rule
  # only notices files that change, so its stamp is removed.
  string(JOIN "\n" listing ${sources})
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/bm_${name}_sources.txt)
  set(previous "")
  if(EXISTS ${list_file})
    file(READ ${list_file} previous)
  endif()
  if(NOT previous STREQUAL listing)
    file(WRITE ${list_file} "${listing}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/bm_${name}_autogen/timestamp)
  endif()
  target_include_directories(bm_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(bm_${name} PUBLIC ${ARGN})
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
