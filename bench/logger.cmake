# Splitting a logger memory image into its data sets.
add_executable(bench_logger_split ${CMAKE_CURRENT_LIST_DIR}/logger_split.cpp)
target_link_libraries(bench_logger_split PRIVATE vorn_recording benchmark::benchmark)

# A 256 KiB logger download from the meter emulator at the line's pace.
add_executable(bench_logger_download
  ${CMAKE_CURRENT_LIST_DIR}/logger_download.cpp
  ${PROJECT_SOURCE_DIR}/tests/tools/EmulatorProcess.cpp)
target_include_directories(bench_logger_download PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(bench_logger_download PRIVATE vorn_recording)
target_compile_definitions(bench_logger_download PRIVATE
  VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
add_dependencies(bench_logger_download vorn-meter-emulator)
