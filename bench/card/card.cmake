# Card composition benchmark; include() it from bench/CMakeLists.txt to build it.
add_executable(draw_boxes_bench ${CMAKE_CURRENT_LIST_DIR}/DrawBoxesBench.cpp)
target_link_libraries(draw_boxes_bench PRIVATE velmora_card benchmark::benchmark_main)
# Find of a large JPEG into the fitted card, against the decode alone.
add_executable(fit_bench ${CMAKE_CURRENT_LIST_DIR}/FitBench.cpp)
target_link_libraries(fit_bench PRIVATE velmora_card benchmark::benchmark_main)
# A phone photo turned upright by its EXIF orientation, against one copy of its rows.
add_executable(orientation_bench ${CMAKE_CURRENT_LIST_DIR}/OrientationBench.cpp)
target_link_libraries(orientation_bench PRIVATE velmora_card benchmark::benchmark_main)
