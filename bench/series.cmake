add_executable(bench_series ${CMAKE_CURRENT_LIST_DIR}/series_bench.cpp)
target_link_libraries(bench_series PRIVATE vorn_analysis_gui benchmark::benchmark)
target_compile_definitions(bench_series PRIVATE VORN_STATS_PATH="$<TARGET_FILE:vorn-stats>")
add_dependencies(bench_series vorn-stats)
