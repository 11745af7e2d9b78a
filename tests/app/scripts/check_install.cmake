file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/vorn bin/vorn-stats bin/vorn-stats-report bin/vorn-meter-emulator
             share/applications/vorn.desktop share/icons/hicolor/scalable/apps/vorn.svg
             share/mime/packages/vorn.xml
             share/icons/hicolor/scalable/mimetypes/application-x-vorn-data.svg)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/vorn.desktop entry)
# The program writes "Fake" and its list dumps to the current folder: it
# starts in the home folder, and hands the chosen files on to the program.
foreach(line "Exec=sh -c \"cd && exec vorn \\\\\"\\\\$@\\\\\"\" vorn %F"
             "MimeType=application/x-vorn-data;" "Icon=vorn" "Type=Application")
  string(FIND "${entry}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks: ${line}")
  endif()
endforeach()
file(READ ${PREFIX}/share/mime/packages/vorn.xml types)
foreach(part "type=\"application/x-vorn-data\"" "pattern=\"*.vorn\"" "value=\"Real Time\""
             "value=\"Data Logger\"" "icon name=\"application-x-vorn-data\"")
  string(FIND "${types}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "type definition lacks: ${part}")
  endif()
endforeach()

# The entry's command, run as a desktop runs it, opens the files it is given
# from the home folder. A stand-in "vorn" on the path reports what it got.
find_program(SH sh)
if(SH)
  set(fake ${PREFIX}/fake-bin)
  file(WRITE ${fake}/vorn "#!/bin/sh\npwd > \"${PREFIX}/ran\"\nfor f in \"$@\"; do echo \"$f\" >> \"${PREFIX}/ran\"; done\n")
  file(CHMOD ${fake}/vorn PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "PATH=${fake}:$ENV{PATH}" "HOME=${PREFIX}"
                          ${SH} -c "cd && exec vorn \"$@\"" vorn "/data/a b.vorn" /data/c.vorn
                  RESULT_VARIABLE result)
  file(READ ${PREFIX}/ran ran)
  if(NOT ran STREQUAL "${PREFIX}\n/data/a b.vorn\n/data/c.vorn\n")
    message(FATAL_ERROR "the entry's command passed on: ${ran}")
  endif()
endif()

# Where the type database tools exist, the installed type is found by name
# and by content.
find_program(UPDATE_MIME_DATABASE update-mime-database)
if(UPDATE_MIME_DATABASE)
  if(NOT EXISTS ${PREFIX}/share/mime/application/x-vorn-data.xml)
    message(FATAL_ERROR "the install did not rebuild the type database")
  endif()
  find_program(XDG_MIME xdg-mime)
  if(XDG_MIME)
    file(WRITE ${PREFIX}/sample.vorn "Real Time\r\n 60 \r\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_DIRS=${PREFIX}/share:/usr/share"
                            "XDG_DATA_HOME=${PREFIX}/none" ${XDG_MIME} query filetype
                            ${PREFIX}/sample.vorn
                    OUTPUT_VARIABLE type OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT type MATCHES "application/x-vorn-data")
      message(FATAL_ERROR "xdg-mime says: ${type}")
    endif()
  endif()
endif()
file(REMOVE_RECURSE ${PREFIX})
