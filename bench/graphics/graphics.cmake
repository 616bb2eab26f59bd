# Graphics layer benchmark; include() it from bench/CMakeLists.txt to build it.
add_executable(graphics_bench ${CMAKE_CURRENT_LIST_DIR}/GraphicsBench.cpp)
target_link_libraries(graphics_bench PRIVATE velmora_graphics benchmark::benchmark_main)
