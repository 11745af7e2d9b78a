add_executable(bench_batch ${CMAKE_CURRENT_LIST_DIR}/batch_bench.cpp)
target_link_libraries(bench_batch PRIVATE vorn_stats benchmark::benchmark)
# The program itself is timed too; its path is built in.
target_compile_definitions(bench_batch PRIVATE VORN_STATS="$<TARGET_FILE:vorn-stats>")
add_dependencies(bench_batch vorn-stats)
