# GIF decoding benchmark against giflib's DGifSlurp; include() it from bench/CMakeLists.txt to
# build it. giflib is only the reference here, so without it no target is defined.
find_library(GIF_LIBRARY gif)
find_path(GIF_INCLUDE_DIR gif_lib.h)
if(GIF_LIBRARY AND GIF_INCLUDE_DIR)
  add_executable(gif_bench ${CMAKE_CURRENT_LIST_DIR}/GifBench.cpp)
  target_include_directories(gif_bench PRIVATE ${GIF_INCLUDE_DIR})
  target_link_libraries(gif_bench PRIVATE velmora_gif ${GIF_LIBRARY} benchmark::benchmark_main)
else()
  message(STATUS "giflib not found (libgif-dev): gif_bench is not built")
endif()
