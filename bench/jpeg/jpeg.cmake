# JPEG picture benchmark against libjpeg-turbo called directly; include() it from
# bench/CMakeLists.txt to build it.
add_executable(jpeg_bench ${CMAKE_CURRENT_LIST_DIR}/JpegBench.cpp)
target_link_libraries(jpeg_bench PRIVATE velmora_jpeg JPEG::JPEG benchmark::benchmark_main)
