vorn_add_test(recording_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_windows_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RecordingTestSupport.cpp
  LIBS vorn_recording_gui)
