vorn_add_test(data_file_round_trip_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/data_file_round_trip_test.cpp
  LIBS vorn_recording vorn_analysis_gui)
