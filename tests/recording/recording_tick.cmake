vorn_add_test(recording_tick_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_tick_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RecordingTestSupport.cpp
  LIBS vorn_recording)
