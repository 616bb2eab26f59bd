# The contact list's work on a large log: reading, sorting and filtering 100,000 contacts.
add_executable(contact_log_bench ${CMAKE_CURRENT_LIST_DIR}/ContactLogBench.cpp)
target_link_libraries(contact_log_bench PRIVATE velmora_contacts benchmark::benchmark_main)
