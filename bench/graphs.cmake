add_executable(bench_graphs ${CMAKE_CURRENT_LIST_DIR}/graphs_bench.cpp
               ${PROJECT_SOURCE_DIR}/src/panel/windows/LiveGraphs.cpp
               ${PROJECT_SOURCE_DIR}/src/panel/windows/LiveGraphs.h)
target_include_directories(bench_graphs PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(bench_graphs PRIVATE vorn_graphs_windows benchmark::benchmark)
