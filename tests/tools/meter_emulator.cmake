if(UNIX)
  # The meter emulator, driven over its pseudo-terminal and in its parts.
  vorn_add_test(meter_emulator_line_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/meter_emulator_line_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/EmulatorProcess.cpp
            ${CMAKE_CURRENT_LIST_DIR}/gtest_main.cpp)
  target_compile_definitions(meter_emulator_line_test PRIVATE
    VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
  add_dependencies(meter_emulator_line_test vorn-meter-emulator)

  vorn_add_test(meter_emulator_parts_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/meter_emulator_parts_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/gtest_main.cpp
    LIBS vorn_meter_emulator_core)

  vorn_add_test(meter_emulator_qt_port_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/meter_emulator_qt_port_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/EmulatorProcess.cpp
    LIBS vorn_platform)
  target_compile_definitions(meter_emulator_qt_port_test PRIVATE
    VORN_METER_EMULATOR="$<TARGET_FILE:vorn-meter-emulator>")
  add_dependencies(meter_emulator_qt_port_test vorn-meter-emulator)
endif()
