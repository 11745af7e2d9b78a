# The Windows install: the programs with the Qt and MinGW runtime DLLs and
# plugins beside them, so that the folder runs wherever it is unpacked.
# CPack makes it a portable zip named with the version.
set(vorn_qt_dlls Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport Qt6SerialPort libQCustomPlotQt6)
foreach(dll ${vorn_qt_dlls})
  install(FILES ${VORN_WINDOWS_QT}/bin/${dll}.dll DESTINATION ${VORN_BINDIR})
endforeach()
install(FILES ${VORN_WINDOWS_QT}/plugins/platforms/qwindows.dll
              ${VORN_WINDOWS_QT}/plugins/platforms/qminimal.dll
        DESTINATION ${VORN_BINDIR}/platforms)
install(FILES ${VORN_WINDOWS_QT}/plugins/styles/qwindowsvistastyle.dll
        DESTINATION ${VORN_BINDIR}/styles)
install(FILES ${VORN_WINDOWS_QT}/plugins/imageformats/qico.dll
        DESTINATION ${VORN_BINDIR}/imageformats)
# The compiler's own runtime, found where this compiler keeps it.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE vorn_runtime_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${vorn_runtime_dll}" OR NOT EXISTS "${vorn_runtime_dll}")
    message(FATAL_ERROR "The compiler does not know where ${dll} is")
  endif()
  install(FILES ${vorn_runtime_dll} DESTINATION ${VORN_BINDIR})
endforeach()
install(FILES LICENSE DESTINATION ${VORN_BINDIR} RENAME LICENSE.txt)
install(FILES data/windows/README.txt data/windows/vorn-monitor.conf DESTINATION ${VORN_BINDIR})

set(CPACK_PACKAGE_NAME VORN)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VORN developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of an integrating sound level meter")
set(CPACK_PACKAGE_FILE_NAME vorn-${PROJECT_VERSION}-windows-x64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
