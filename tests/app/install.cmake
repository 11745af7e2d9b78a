# cmake --install puts the program, the batch tool, the emulator, the desktop
# entry and its icon where a desktop finds them.
add_test(NAME Install.ProgramEmulatorDesktopEntryAndIcon
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
          -DPREFIX=${CMAKE_BINARY_DIR}/install-check
          -P ${CMAKE_CURRENT_LIST_DIR}/scripts/check_install.cmake)
