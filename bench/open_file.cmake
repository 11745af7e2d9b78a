add_executable(bench_open_file ${CMAKE_CURRENT_LIST_DIR}/open_file_bench.cpp)
target_include_directories(bench_open_file PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(bench_open_file PRIVATE vorn_analysis_gui benchmark::benchmark)
