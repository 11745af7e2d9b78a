vorn_add_test(data_file_reader_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/data_file_reader_test.cpp
  LIBS vorn_recording)
