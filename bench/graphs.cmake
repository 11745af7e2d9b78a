add_executable(bench_graphs ${CMAKE_CURRENT_LIST_DIR}/graphs_bench.cpp)
target_link_libraries(bench_graphs PRIVATE vorn_panel_gui benchmark::benchmark)
