# BMP reader benchmark; include() it from bench/CMakeLists.txt to build it.
add_executable(bmp_reader_bench ${CMAKE_CURRENT_LIST_DIR}/BmpBench.cpp)
target_link_libraries(bmp_reader_bench PRIVATE velmora_graphics benchmark::benchmark_main)
