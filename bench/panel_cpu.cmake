# CPU the live panel costs while it mirrors the meter emulator, and while it
# waits for a pulled adapter to come back.
if(TARGET vorn-meter-emulator)
  add_executable(bench_panel_cpu
    ${CMAKE_CURRENT_LIST_DIR}/panel_cpu_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/panel/EmulatorSession.cpp)
  target_include_directories(bench_panel_cpu PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(bench_panel_cpu PRIVATE vorn_panel_windows benchmark::benchmark)
  target_compile_definitions(bench_panel_cpu PRIVATE
    VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
  add_dependencies(bench_panel_cpu vorn-meter-emulator)
endif()
