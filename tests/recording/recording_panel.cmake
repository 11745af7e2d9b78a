# The recording as the live panel hosts it: tool bar keys, Timer2 and closing.
vorn_add_test(recording_panel_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_panel_test.cpp
  LIBS vorn_panel_windows)
