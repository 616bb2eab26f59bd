# velmora_fonts: face matching (fontconfig) and glyph rasterisation (FreeType) behind
# platform/FontEngine.h. Its own target, so it builds and tests on its own.
add_library(velmora_fonts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FontEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FontEngineMatch.cpp)
target_include_directories(velmora_fonts PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmora_fonts
  PRIVATE PkgConfig::FREETYPE PkgConfig::FONTCONFIG
  PUBLIC Threads::Threads)
