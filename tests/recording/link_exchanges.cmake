# Every pair of meter exchanges, one started inside the other's wait, against
# the emulated meter.
vorn_add_test(link_exchanges_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_exchanges_test.cpp
  LIBS vorn_recording vorn_test_support)
