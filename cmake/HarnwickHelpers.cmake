# hw_add_qtest(<name> SOURCES <files...> LIBS <targets...>)
# Builds one Qt Test executable and registers it with CTest, headless.
function(hw_add_qtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    HW_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    TIMEOUT 600)
endfunction()

# hw_add_bench(<name> SOURCES <files...> LIBS <targets...>)
# A benchmark program; skipped while one of its libraries is not in the tree.
function(hw_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  foreach(lib ${B_LIBS})
    if(lib MATCHES "^hw_|^Drumvelt$|^InversionMethod$" AND NOT TARGET ${lib})
      return()
    endif()
  endforeach()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS})
endfunction()
