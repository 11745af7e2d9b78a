# Run by CPack once the files are staged, before the zip and the installer
# are made: the programs are signed after they were stripped.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe")
list(FILTER programs INCLUDE REGEX "/vorn[^/]*\\.exe$")
if(programs)
  execute_process(COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/../scripts/sign-windows.sh" ${programs}
                  RESULT_VARIABLE signed)
  if(NOT signed EQUAL 0)
    message(FATAL_ERROR "The programs could not be signed")
  endif()
endif()
