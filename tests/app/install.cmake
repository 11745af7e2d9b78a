# cmake --install puts the program, the batch tool, the emulator, the desktop
# entry and its icon where a desktop finds them.
add_test(NAME Install.ProgramEmulatorDesktopEntryAndIcon
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
          -DPREFIX=${CMAKE_BINARY_DIR}/install-check
          -P ${CMAKE_CURRENT_LIST_DIR}/scripts/check_install.cmake)

# Each program's options and a station's day-file names complete in bash.
add_test(NAME Install.CompletionCoversEveryOption
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/scripts/completion_test.sh
          ${PROJECT_SOURCE_DIR}/data/completion
          vorn=$<TARGET_FILE:vorn> vorn-stats=$<TARGET_FILE:vorn-stats>
          vorn-stats-report=$<TARGET_FILE:vorn-stats-report>
          vorn-monitor=$<TARGET_FILE:vorn-monitor>
          $<$<TARGET_EXISTS:vorn-hub>:vorn-hub=$<TARGET_FILE:vorn-hub>>)
