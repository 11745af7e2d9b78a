vorn_add_test(panel_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_window_test.cpp LIBS vorn_panel_gui vorn_test_support)
# Tests against the meter emulator skip themselves when it is not built.
vorn_add_test(panel_emulator_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_emulator_test.cpp
  LIBS vorn_panel_gui vorn_test_support)
vorn_add_test(program_run_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_run_test.cpp
  LIBS vorn_panel_gui vorn_test_support)
vorn_add_test(panel_download_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_download_test.cpp
  LIBS vorn_panel_gui vorn_test_support)
vorn_add_test(accessibility_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/accessibility_test.cpp
  LIBS vorn_panel_gui)
vorn_add_test(command_line_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp LIBS vorn_panel)
target_compile_definitions(command_line_test PRIVATE VORN_PROGRAM="$<TARGET_FILE:vorn>")
add_dependencies(command_line_test vorn)
