vorn_add_test(settings_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_core_test.cpp
  LIBS vorn_recording)

vorn_add_test(settings_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_windows_test.cpp
  LIBS vorn_recording_gui vorn_test_support)

vorn_add_test(settings_board_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_board_test.cpp
  LIBS vorn_panel_gui)

# Against the meter emulator, once it is part of the build.
if(TARGET vorn-meter-emulator AND EXISTS ${PROJECT_SOURCE_DIR}/tests/tools/EmulatorProcess.cpp)
  vorn_add_test(settings_emulator_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_emulator_test.cpp
            ${PROJECT_SOURCE_DIR}/tests/tools/EmulatorProcess.cpp
    LIBS vorn_recording_gui)
  target_compile_definitions(settings_emulator_test PRIVATE
    VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
  add_dependencies(settings_emulator_test vorn-meter-emulator)
endif()
