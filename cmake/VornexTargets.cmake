# vx_add_library(NAME DIR [LIBS ...]): a static library of every source in DIR (recursively).
# Sources are gathered by glob so that adding a class is adding its two files.
function(vx_add_library name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${dir}/*.cpp ${dir}/*.c ${dir}/*.h ${dir}/*.ui)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  # A subfolder that builds its own library (VX_GLOB_EXCLUDE, a pattern set by the caller).
  if(VX_GLOB_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${VX_GLOB_EXCLUDE}")
  endif()
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${dir} ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${dir} ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/ui/forms)
endfunction()

# vx_add_tests(DIR LIBS ...): one QtTest executable per tst_*.cpp in DIR, registered with CTest.
function(vx_add_tests dir)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/tst_*.cpp)
  foreach(test_source ${tests})
    get_filename_component(test_name ${test_source} NAME_WE)
    add_executable(${test_name} ${test_source})
    target_link_libraries(${test_name} PRIVATE vx_testsupport ${ARGN} Qt5::Test)
    add_test(NAME ${dir}/${test_name} COMMAND ${test_name})
    set_tests_properties(${dir}/${test_name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
      TIMEOUT 300)
  endforeach()
endfunction()
