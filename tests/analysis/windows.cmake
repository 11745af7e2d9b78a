vorn_add_test(statistics_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/statistics_windows_test.cpp
  LIBS vorn_analysis_gui)

vorn_add_test(report_command_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_command_test.cpp
  LIBS vorn_analysis_gui)

vorn_add_test(series_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/series_window_test.cpp
  LIBS vorn_analysis_gui vorn_test_dialogs vorn_test_support
  LOCAL_ZONE Europe/Berlin)
if(TARGET series_window_test)
  # The window is also opened on a folder vorn-monitor made.
  target_compile_definitions(series_window_test PRIVATE VORN_STATS_PATH="$<TARGET_FILE:vorn-stats>"
                             VORN_MONITOR="$<TARGET_FILE:vorn-monitor>")
  add_dependencies(series_window_test vorn-stats vorn-monitor)
endif()
