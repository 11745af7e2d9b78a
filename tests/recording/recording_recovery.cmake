# Recordings that outlive a crash, a failed stop, a second copy of the program
# and a slow or failing disk.
vorn_add_test(recording_recovery_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_recovery_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RecordingTestSupport.cpp
  LIBS vorn_recording)
