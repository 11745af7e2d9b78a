vorn_add_test(clock_exchange_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/clock_exchange_test.cpp
  LIBS vorn_link)

vorn_add_test(clock_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/clock_window_test.cpp
  LIBS vorn_link_gui vorn_test_support)
