add_executable(bench_batch ${CMAKE_CURRENT_LIST_DIR}/batch_bench.cpp)
target_link_libraries(bench_batch PRIVATE vorn_batch benchmark::benchmark)
