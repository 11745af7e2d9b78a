vorn_add_test(panel_display_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_display_test.cpp LIBS vorn_panel)
vorn_add_test(link_lost_recovery_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_lost_recovery_test.cpp LIBS vorn_panel)
vorn_add_test(panel_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_window_test.cpp LIBS vorn_panel_windows)
vorn_add_test(panel_emulator_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_emulator_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/EmulatorSession.cpp
  LIBS vorn_panel_windows)
vorn_add_test(program_run_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_run_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/EmulatorSession.cpp
  LIBS vorn_panel_windows)
# Tests against the meter emulator skip themselves when it is not built.
if(TARGET vorn-meter-emulator)
  foreach(test panel_emulator_test program_run_test)
    target_compile_definitions(${test} PRIVATE
      VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
    add_dependencies(${test} vorn-meter-emulator)
  endforeach()
endif()
