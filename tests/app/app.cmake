# The whole program driven as a user would, against the meter emulator on a
# pseudo-terminal through the real serial port. Each walk saves a picture of
# every window it opens into the build tree.
set(VORN_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)
foreach(test app_walk_test app_faults_test)
  string(REPLACE "app_" "" source ${test})
  vorn_add_test(${test}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${source}.cpp
            ${CMAKE_CURRENT_LIST_DIR}/AppDriver.cpp
    LIBS vorn_panel_windows vorn_test_support)
  target_include_directories(${test} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(${test} PRIVATE VORN_SCREENSHOT_DIR="${VORN_SCREENSHOT_DIR}")
endforeach()
