vorn_add_test(statistics_report_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/statistics_report_test.cpp
  LIBS vorn_analysis)

vorn_add_test(measurement_report_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/measurement_report_test.cpp
  LIBS vorn_report)

if(UNIX)
  # The PDF as a reader gets it: vorn-stats writes it, poppler's tools read it back.
  vorn_add_test(measurement_report_pdf_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/measurement_report_pdf_test.cpp
    LIBS vorn_stats Qt6::Gui)
  target_compile_definitions(measurement_report_pdf_test PRIVATE VORN_STATS_PATH="$<TARGET_FILE:vorn-stats>")
  add_dependencies(measurement_report_pdf_test vorn-stats)
endif()
