# Font engine benchmark; include() it from bench/CMakeLists.txt to build it.
add_executable(font_engine_bench ${CMAKE_CURRENT_LIST_DIR}/FontEngineBench.cpp)
target_link_libraries(font_engine_bench PRIVATE velmora_fonts benchmark::benchmark_main)
