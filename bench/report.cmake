add_executable(bench_report ${CMAKE_CURRENT_LIST_DIR}/report_bench.cpp)
target_link_libraries(bench_report PRIVATE vorn_report_pdf vorn_analysis_gui vorn_test_dialogs
  benchmark::benchmark)
target_compile_definitions(bench_report PRIVATE VORN_STATS_PATH="$<TARGET_FILE:vorn-stats>")
add_dependencies(bench_report vorn-stats)
