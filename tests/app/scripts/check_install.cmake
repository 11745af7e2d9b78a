file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/vorn bin/vorn-stats bin/vorn-stats-report bin/vorn-meter-emulator
             share/applications/vorn.desktop share/icons/hicolor/scalable/apps/vorn.svg)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/vorn.desktop entry)
# The program writes "Fake" and its list dumps to the current folder: it
# starts in the home folder.
foreach(line "Exec=sh -c \"cd; exec vorn\"" "Icon=vorn" "Type=Application")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks: ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
