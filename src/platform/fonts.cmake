# velmora_fonts: FontEngine over fontconfig and FreeType.
add_library(velmora_fonts INTERFACE)
target_include_directories(velmora_fonts INTERFACE ${PROJECT_SOURCE_DIR}/src)
