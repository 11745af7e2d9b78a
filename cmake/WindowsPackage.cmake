# The Windows install: the programs with the Qt and MinGW runtime DLLs and
# plugins beside them, so that the folder runs wherever it is unpacked.
# CPack makes it a portable zip and an installer (NSIS), named with the version.
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
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES data/windows/README.txt DESTINATION .)
install(FILES data/windows/vorn-monitor.conf DESTINATION ${VORN_BINDIR})

set(CPACK_PACKAGE_NAME VORN)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VORN developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of an integrating sound level meter")
set(CPACK_PACKAGE_FILE_NAME vorn-${PROJECT_VERSION}-windows-x64)
# Values reach the generators exactly as written here (quotes included).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR ZIP NSIS)
# The installer: a Start menu entry, the .vorn type with its icon and "Open
# with VORN", the programs' folder on PATH (asked; a silent install adds it
# for the user), and an uninstaller that removes what it installed.
set(CPACK_PACKAGE_INSTALL_DIRECTORY VORN)
# One key for every version, so that an upgrade finds the version before it
# (its folder, its uninstaller) instead of installing beside it.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY VORN)
# The options page's "Create VORN Desktop Icon" makes one.
set(CPACK_CREATE_DESKTOP_LINKS vorn)
# A 64-bit installer into the 64-bit Program Files: the programs are 64-bit,
# and a 64-bit Windows (or Wine) needs nothing else to run it.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "VORN ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "VORN ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/data/windows/vorn.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/data/windows/vorn.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\vorn.exe")
set(CPACK_PACKAGE_EXECUTABLES vorn VORN)
set(CPACK_NSIS_MODIFY_PATH ON)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS
    "!include \"${PROJECT_SOURCE_DIR}/data/windows/filetype-install.nsh\"
!include \"${PROJECT_SOURCE_DIR}/data/windows/silent-path.nsh\"")
# The Start menu entry, the file type and PATH take the programs from bin/.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY bin)
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
    "!include \"${PROJECT_SOURCE_DIR}/data/windows/filetype-uninstall.nsh\"
!include \"${PROJECT_SOURCE_DIR}/data/windows/path-uninstall.nsh\"")
# CPack's installer script, but PATH is changed by vorn-path.exe: the
# script's own string functions cut a PATH longer than 1,024 characters and
# write it back cut (or replace it whole when they read it as empty).
file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in vorn_nsis)
# Each function from its first line to the first "FunctionEnd" after it.
function(vorn_replace_function text name replacement out)
  string(FIND "${text}" "\nFunction ${name}\n" from)
  if(from EQUAL -1)
    set(${out} "${text}" PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING "${text}" ${from} -1 rest)
  string(FIND "${rest}" "\nFunctionEnd\n" length)
  math(EXPR after "${from} + ${length} + 13")
  string(SUBSTRING "${text}" 0 ${from} head)
  string(SUBSTRING "${text}" ${after} -1 tail)
  set(${out} "${head}\n${replacement}\n${tail}" PARENT_SCOPE)
endfunction()
vorn_replace_function("${vorn_nsis}" AddToPath
  "!include \"${PROJECT_SOURCE_DIR}/data/windows/path-install.nsh\"" vorn_nsis)
vorn_replace_function("${vorn_nsis}" un.RemoveFromPath
  "; Taken off PATH before the files go (path-uninstall.nsh).\nFunction un.RemoveFromPath\n  Exch $0\n  Pop $0\nFunctionEnd" vorn_nsis)
# An upgrade goes where the version before it was (a custom folder too),
# and removes that version's uninstaller, which cannot remove itself when
# run in place.
string(REPLACE "  ExecWait '\"$0\" /S _?=$3' ;Do not copy the uninstaller to a temp file

  IfErrors uninst_failed inst"
  "  ExecWait '\"$0\" /S _?=$3' ;Do not copy the uninstaller to a temp file

  IfErrors uninst_failed
  Delete \"$0\"
  RMDir \"$3\"
  StrCpy $INSTDIR $3
  Goto inst" vorn_nsis "${vorn_nsis}")
# No empty vendor key is left behind.
string(REPLACE
  "  DeleteRegKey /ifempty SHCTX \"Software\\@CPACK_PACKAGE_VENDOR@\\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@\""
  "  DeleteRegKey /ifempty SHCTX \"Software\\@CPACK_PACKAGE_VENDOR@\\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@\"
  DeleteRegKey /ifempty SHCTX \"Software\\@CPACK_PACKAGE_VENDOR@\""
  vorn_nsis "${vorn_nsis}")
if(NOT vorn_nsis MATCHES "StrCpy .INSTDIR .3" OR NOT vorn_nsis MATCHES "PACKAGE_VENDOR@\"\n")
  message(FATAL_ERROR "CPack's NSIS template has changed: its upgrade was not mended")
endif()
if(NOT vorn_nsis MATCHES "path-install.nsh" OR NOT vorn_nsis MATCHES "before the files go")
  message(FATAL_ERROR "CPack's NSIS template has changed: its PATH functions were not replaced")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/nsis/NSIS.template.in "${vorn_nsis}")
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_BINARY_DIR}/nsis)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
# The programs signed when a certificate is given (VORN_SIGN_CERT): see
# scripts/sign-windows.sh; scripts/windows.sh signs the installer.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/SignStaged.cmake)
include(CPack)
