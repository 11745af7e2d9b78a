if(UNIX)
  # A recording of the emulated meter's live frames.
  vorn_add_test(recording_emulator_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_emulator_test.cpp
            ${PROJECT_SOURCE_DIR}/tests/tools/EmulatorProcess.cpp
    LIBS vorn_recording)
  target_compile_definitions(recording_emulator_test PRIVATE
    VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
  add_dependencies(recording_emulator_test vorn-meter-emulator)
endif()
