vorn_add_test(batch_statistics_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/batch_statistics_test.cpp
  LIBS vorn_stats
  LOCAL_ZONE Europe/Berlin)

vorn_add_test(batch_cli_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/batch_cli_test.cpp
  LIBS vorn_stats
  LOCAL_ZONE Europe/Berlin)
target_compile_definitions(batch_cli_test PRIVATE VORN_STATS_PATH="$<TARGET_FILE:vorn-stats>")
add_dependencies(batch_cli_test vorn-stats)

vorn_add_test(batch_series_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/batch_series_test.cpp
  LIBS vorn_stats
  LOCAL_ZONE Europe/Berlin)

vorn_add_test(calibration_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/calibration_test.cpp
  LIBS vorn_stats
  LOCAL_ZONE Europe/Berlin)

vorn_add_test(series_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/series_test.cpp
  LIBS vorn_series
  LOCAL_ZONE Europe/Berlin)

vorn_add_test(weather_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/weather_test.cpp
  LIBS vorn_stats vorn_recording
  LOCAL_ZONE Europe/Berlin)

vorn_add_test(noise_events_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/noise_events_test.cpp
  LIBS vorn_stats
  LOCAL_ZONE Europe/Berlin)
