vorn_add_test(panel_display_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_display_test.cpp LIBS vorn_panel)
vorn_add_test(link_lost_recovery_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_lost_recovery_test.cpp LIBS vorn_panel)
vorn_add_test(panel_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_window_test.cpp LIBS vorn_panel_windows vorn_test_support)
# Tests against the meter emulator skip themselves when it is not built.
vorn_add_test(panel_emulator_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_emulator_test.cpp
  LIBS vorn_panel_windows vorn_test_support)
vorn_add_test(program_run_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_run_test.cpp
  LIBS vorn_panel_windows vorn_test_support)
vorn_add_test(panel_download_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_download_test.cpp
  LIBS vorn_panel_windows vorn_test_support)
vorn_add_test(accessibility_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/accessibility_test.cpp
  LIBS vorn_panel_windows)
vorn_add_test(command_line_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp LIBS vorn_panel)
target_compile_definitions(command_line_test PRIVATE VORN_PROGRAM="$<TARGET_FILE:vorn>")
add_dependencies(command_line_test vorn)
vorn_add_test(monitor_station_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_station_test.cpp
  LIBS vorn_monitor vorn_test_support)
# Against a mosquitto broker the test starts on a free loopback port.
vorn_add_test(monitor_mqtt_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_mqtt_test.cpp
  LIBS vorn_monitor vorn_test_support)
if(UNIX)
  vorn_add_test(monitor_process_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_process_test.cpp
    LIBS vorn_recording vorn_test_support)
  target_compile_definitions(monitor_process_test PRIVATE VORN_MONITOR="$<TARGET_FILE:vorn-monitor>")
  add_dependencies(monitor_process_test vorn-monitor)
endif()
