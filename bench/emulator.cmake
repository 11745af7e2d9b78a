# The meter emulator's line pace over a 64 KiB logger transfer.
add_executable(bench_emulator_pace
  ${CMAKE_CURRENT_LIST_DIR}/emulator_pace.cpp
  ${PROJECT_SOURCE_DIR}/tests/tools/EmulatorProcess.cpp)
target_include_directories(bench_emulator_pace PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(bench_emulator_pace PRIVATE
  VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
add_dependencies(bench_emulator_pace vorn-meter-emulator)
