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
  set(env "VELMORA_CORPUS_DIR=${VELMORA_CORPUS_DIR}")
  if(ARG_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${env}")
endfunction()
