# What an unattended station costs: CPU while it monitors the meter emulator,
# and resident memory over a simulated day of ticks on an injected clock.
if(TARGET vorn-meter-emulator AND TARGET vorn_test_support)
  add_executable(bench_monitor ${CMAKE_CURRENT_LIST_DIR}/monitor_bench.cpp)
  target_include_directories(bench_monitor PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(bench_monitor PRIVATE vorn_station vorn_test_support benchmark::benchmark)
endif()
