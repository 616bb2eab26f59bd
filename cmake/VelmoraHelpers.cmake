# velmora_add_test(NAME SOURCES files... LIBS targets... [GUI])
# One test executable per module; each GoogleTest case becomes a CTest test.
function(velmora_add_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    VELMORA_CORPUS_DIR="${VELMORA_CORPUS_DIR}"
    VELMORA_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    VELMORA_DATA_DIR="${CMAKE_SOURCE_DIR}/data")
  # One variable only: gtest_discover_tests splits a list value into separate properties, so a
  # second entry would be lost. Tests find the corpus through the compile definition above.
  if(ARG_GUI)
    set(env "QT_QPA_PLATFORM=offscreen")
  else()
    set(env "VELMORA_CORPUS_DIR=${VELMORA_CORPUS_DIR}")
  endif()
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${env}")
endfunction()
