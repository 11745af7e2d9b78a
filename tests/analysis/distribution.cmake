vorn_add_test(list_distribution_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_distribution_test.cpp
  LIBS vorn_analysis)

vorn_add_test(wording_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wording_test.cpp
  LIBS vorn_analysis)
