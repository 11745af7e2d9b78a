# The whole program driven as a user would, against the meter emulator on a
# pseudo-terminal through the real serial port. Each walk saves a picture of
# every window it opens into the build tree.
set(VORN_SCREENSHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)
foreach(test app_walk_test app_faults_test)
  string(REPLACE "app_" "" source ${test})
  vorn_add_test(${test}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${source}.cpp
            ${CMAKE_CURRENT_LIST_DIR}/AppDriver.cpp
    LIBS vorn_panel_gui vorn_test_support)
  target_include_directories(${test} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(${test} PRIVATE VORN_SCREENSHOT_DIR="${VORN_SCREENSHOT_DIR}")
endforeach()

# Recordings against the emulator that a kill, a second copy of the program
# or a slow disk must not cost a record. The killed copies run the child.
add_executable(recording_child ${CMAKE_CURRENT_LIST_DIR}/recording_child.cpp
                               ${CMAKE_CURRENT_LIST_DIR}/AppDriver.cpp)
target_include_directories(recording_child PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                                                   ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(recording_child PRIVATE vorn_panel_gui vorn_test_support
                                              vorn_test_dialogs)
vorn_add_test(app_recording_crash_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recording_crash_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/AppDriver.cpp
  LIBS vorn_panel_gui vorn_test_support)
target_include_directories(app_recording_crash_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(app_recording_crash_test PRIVATE
  VORN_RECORDING_CHILD="$<TARGET_FILE:recording_child>")
add_dependencies(app_recording_crash_test recording_child)
