add_executable(bench_ui_reading_list ${CMAKE_CURRENT_LIST_DIR}/ui/reading_list_bench.cpp)
target_link_libraries(bench_ui_reading_list PRIVATE vorn_widgets benchmark::benchmark)

add_executable(bench_ui_delay_cpu ${CMAKE_CURRENT_LIST_DIR}/ui/delay_cpu_bench.cpp)
target_link_libraries(bench_ui_delay_cpu PRIVATE vorn_platform benchmark::benchmark)
