vorn_add_test(statistics_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/statistics_windows_test.cpp
  LIBS vorn_analysis_windows)

vorn_add_test(report_command_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_command_test.cpp
  LIBS vorn_analysis_windows)
