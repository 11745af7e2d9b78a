vorn_add_test(monitor_station_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_station_test.cpp
  LIBS vorn_station vorn_test_support
  LOCAL_ZONE Europe/Berlin)
if(UNIX)
  # Against a mosquitto broker the test starts on a free loopback port.
  vorn_add_test(monitor_mqtt_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_mqtt_test.cpp
    LIBS vorn_station vorn_test_support)
endif()
if(UNIX)
  vorn_add_test(monitor_process_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_process_test.cpp
    LIBS vorn_recording vorn_test_support)
  target_compile_definitions(monitor_process_test PRIVATE VORN_MONITOR="$<TARGET_FILE:vorn-monitor>")
  add_dependencies(monitor_process_test vorn-monitor)
endif()
# The station's folder of a scripted night is compared with tests/golden/station.
target_compile_definitions(monitor_station_test PRIVATE VORN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
