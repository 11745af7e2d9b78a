add_executable(bench_analysis ${CMAKE_CURRENT_LIST_DIR}/analysis_bench.cpp)
target_link_libraries(bench_analysis PRIVATE vorn_analysis benchmark::benchmark)
