# bm_area(NAME LIBS...): a static library made of every source file in the
# calling folder (sub-folders included), linked against LIBS.
function(bm_area name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(bm_${name} STATIC ${sources})
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
