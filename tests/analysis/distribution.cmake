vorn_add_test(list_distribution_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_distribution_test.cpp
  LIBS vorn_analysis)
