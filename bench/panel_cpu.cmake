# CPU the live panel costs while it mirrors the meter emulator, and while it
# waits for a pulled adapter to come back. It drives the emulator with the
# tests' support library.
if(TARGET vorn-meter-emulator AND TARGET vorn_test_support)
  add_executable(bench_panel_cpu ${CMAKE_CURRENT_LIST_DIR}/panel_cpu_bench.cpp)
  target_include_directories(bench_panel_cpu PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(bench_panel_cpu PRIVATE vorn_panel_gui vorn_test_support vorn_test_dialogs
                        benchmark::benchmark)
endif()
