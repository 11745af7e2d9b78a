vorn_add_test(settings_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_core_test.cpp
  LIBS vorn_recording)

vorn_add_test(settings_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_windows_test.cpp
  LIBS vorn_recording_windows)

vorn_add_test(settings_board_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_board_test.cpp
  LIBS vorn_panel_windows)
