vorn_add_test(logger_split_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_split_test.cpp
  LIBS vorn_recording)
vorn_add_test(logger_set_decoding_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_set_decoding_test.cpp
  LIBS vorn_recording)
vorn_add_test(logger_download_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_download_test.cpp
  LIBS vorn_recording)
vorn_add_test(logger_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_windows_test.cpp
  LIBS vorn_analysis_gui)

if(UNIX)
  # Against the meter emulator over a pseudo-terminal.
  vorn_add_test(logger_emulator_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_emulator_test.cpp
            ${PROJECT_SOURCE_DIR}/tests/tools/EmulatorProcess.cpp
    LIBS vorn_analysis_gui)
  target_compile_definitions(logger_emulator_test PRIVATE
    VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
  add_dependencies(logger_emulator_test vorn-meter-emulator)
endif()
