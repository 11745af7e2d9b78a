vorn_add_test(ui_delay_timers_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/delay_timers_test.cpp
  LIBS vorn_platform)
# Against a pseudo-terminal.
if(UNIX)
  vorn_add_test(ui_serial_port_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/serial_port_test.cpp
    LIBS vorn_platform)
endif()
vorn_add_test(ui_stop_requests_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stop_requests_test.cpp ${PROJECT_SOURCE_DIR}/tests/tools/gtest_main.cpp
  LIBS vorn_platform)
vorn_add_test(platform_arguments_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/arguments_test.cpp ${PROJECT_SOURCE_DIR}/tests/tools/gtest_main.cpp
  LIBS vorn_platform)
