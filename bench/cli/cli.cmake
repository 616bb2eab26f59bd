# velmora-card over a whole log: batch.sh runs the release program on input that
# make_batch_input makes at run time.
add_executable(make_batch_input ${CMAKE_CURRENT_LIST_DIR}/MakeBatchInput.cpp)
target_link_libraries(make_batch_input PRIVATE JPEG::JPEG)
