# vx_add_library(NAME DIR [LIBS ...]): a static library of the sources directly in DIR (not its
# subfolders, which are libraries of their own). Sources are gathered by glob so that adding a class
# is adding its two files.
#
# The layers (platform, core, engines, ui, app) are kept apart by the include path: a library puts
# only its own folder on the path of the libraries that link it, and headers are included by their
# bare names ("Tool.h"). A lower layer therefore cannot include a header of a higher one: the
# compiler does not find it, and the build stops at the file that tried.
function(vx_add_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c ${dir}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${dir})
  target_link_libraries(${name} PUBLIC ${ARGN})
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
