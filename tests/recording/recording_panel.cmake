# The recording as the program runs it in the live panel: tool bar keys, Timer2, closing.
vorn_add_test(recording_panel_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_panel_test.cpp
  LIBS vorn_panel_gui)
