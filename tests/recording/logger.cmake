vorn_add_test(logger_split_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_split_test.cpp
  LIBS vorn_recording)
vorn_add_test(logger_set_decoding_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_set_decoding_test.cpp
  LIBS vorn_recording)
vorn_add_test(logger_download_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_download_test.cpp
  LIBS vorn_recording)
vorn_add_test(logger_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/logger_windows_test.cpp
  LIBS vorn_recording_windows)
