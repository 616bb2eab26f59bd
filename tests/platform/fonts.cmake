velmora_add_test(font_engine_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/FontEngineTest.cpp LIBS velmora_fonts)
