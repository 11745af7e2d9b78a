vorn_add_test(statistics_report_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/statistics_report_test.cpp
  LIBS vorn_analysis)
