include(GNUInstallDirs)
install(FILES data/vorn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/vorn.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# ".vorn" data files: their type (by name and by first line), its icon, and
# the program offered for them.
install(FILES data/vorn-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vorn.xml)
install(FILES data/application-x-vorn-data.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)
set(VORN_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/vorn)
install(FILES data/io.github.vorn.VORN.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/completion/vorn data/completion/vorn-stats data/completion/vorn-monitor
              data/completion/vorn-hub
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# bash-completion loads a file by the command's name: vorn-stats-report too.
install(FILES data/completion/vorn-stats
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vorn-stats-report)
install(FILES data/package/vorn-monitor.conf data/package/vorn-hub.conf
        DESTINATION ${VORN_DOCDIR}/examples)
install(FILES data/package/copyright DESTINATION ${VORN_DOCDIR})

# Manual pages and the changelog, compressed as Debian wants them (no name
# or time in the gzip header, so builds are reproducible).
find_program(VORN_GZIP gzip)
if(VORN_GZIP)
set(vorn_man_pages vorn.1 vorn-stats.1 vorn-stats-report.1 vorn-monitor.1 vorn-meter-emulator.1
    vorn-monitor.conf.5 vorn-hub.1)
set(vorn_compressed)
foreach(page IN LISTS vorn_man_pages ITEMS changelog)
  if(page STREQUAL "changelog")
    set(source ${PROJECT_SOURCE_DIR}/data/package/changelog)
  else()
    set(source ${PROJECT_SOURCE_DIR}/data/man/${page})
  endif()
  set(target ${CMAKE_BINARY_DIR}/compressed/${page}.gz)
  add_custom_command(OUTPUT ${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
    COMMAND ${VORN_GZIP} -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
  list(APPEND vorn_compressed ${target})
  if(page STREQUAL "changelog")
    install(FILES ${target} DESTINATION ${VORN_DOCDIR})
  else()
    string(REGEX MATCH "[0-9]$" section ${page})
    install(FILES ${target} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endif()
endforeach()
add_custom_target(vorn_compressed_docs ALL DEPENDS ${vorn_compressed})
endif()

# The type takes effect once the prefix's type database is rebuilt; a staged
# install (DESTDIR) leaves that to the package's own scripts.
install(CODE "set(VORN_MIME_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\")")
install(CODE [[
  find_program(VORN_UPDATE_MIME_DATABASE update-mime-database)
  if(VORN_UPDATE_MIME_DATABASE AND "$ENV{DESTDIR}" STREQUAL "")
    execute_process(COMMAND ${VORN_UPDATE_MIME_DATABASE} "${VORN_MIME_DIR}"
                    RESULT_VARIABLE vorn_mime_result OUTPUT_QUIET ERROR_QUIET)
    if(NOT vorn_mime_result EQUAL 0)
      message(WARNING "update-mime-database failed: ${vorn_mime_result}")
    endif()
  endif()
]])

# The Debian package (scripts/package.sh): dependencies come from the
# shared-library scan; dpkg's own triggers refresh the MIME, icon and
# desktop databases, so the package needs no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VORN developers <vorn@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of an integrating sound level meter")
set(CPACK_PACKAGE_DESCRIPTION
    "VORN mirrors the meter's display live, presses its keys, computes live Leq, SEL\n\
and maximum, records data files, downloads and erases the logger memory and\n\
analyses data files with L tables, graphs and PDF reports. vorn-stats analyses\n\
files from the command line and vorn-monitor runs an unattended monitoring\n\
station with day files, limit alarms and MQTT publishing; vorn-hub keeps a\n\
fleet's record from the broker in SQLite or PostgreSQL.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# mqtts:// without --mqtt-ca verifies the broker against the system's authorities.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates")
# The station's user is made when the package is configured.
file(COPY ${CMAKE_CURRENT_SOURCE_DIR}/data/package/postinst DESTINATION ${CMAKE_CURRENT_BINARY_DIR}/debian
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                      WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/build-package)
include(CPack)
