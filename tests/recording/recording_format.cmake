vorn_add_test(recording_format_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_format_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RecordingTestSupport.cpp
  LIBS vorn_recording)
