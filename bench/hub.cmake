# A fleet through one broker into one hub, and a month read back from it.
if(TARGET vorn-hub AND TARGET vorn_test_support)
  add_executable(bench_hub ${CMAKE_CURRENT_LIST_DIR}/hub_bench.cpp)
  target_include_directories(bench_hub PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(bench_hub PRIVATE vorn_hub vorn_test_support benchmark::benchmark)
  target_compile_definitions(bench_hub PRIVATE VORN_HUB="$<TARGET_FILE:vorn-hub>"
                                               VORN_STATS="$<TARGET_FILE:vorn-stats>")
endif()
