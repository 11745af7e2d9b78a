# Each subsystem keeps its widget-free core in its own folder and its windows
# in a "gui" subfolder; both are picked up by glob so that adding a file
# needs no edit here.

# A folder that holds no source yet still gives a target, so that the
# dependency graph stays the same while subsystems are filled in.
function(vorn_library_from name sources)
  set(deps ${ARGN})
  list(FILTER sources INCLUDE REGEX "\\.cpp$|\\.qrc$")
  if(sources)
    add_library(${name} STATIC ${ARGV1})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${deps})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${deps})
  endif()
endfunction()

# vorn_core_library(<name> <folder> DEPS <targets...>)
function(vorn_core_library name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.h)
  vorn_library_from(${name} "${sources}" ${ARG_DEPS})
endfunction()

# vorn_gui_library(<name> <folder> DEPS <targets...>)
function(vorn_gui_library name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.h ${folder}/*.qrc)
  vorn_library_from(${name} "${sources}" ${ARG_DEPS} Qt6::Widgets)
endfunction()

# vorn_add_test(<name> SOURCES <files...> LIBS <targets...> [LOCAL_ZONE <zone>])
# LOCAL_ZONE: the zone the test puts itself in (useTestZone); under Wine it
# has to be given when Wine starts, as Windows reads no zone from TZ.
# One executable per unit, run by CTest; every test case is its own CTest entry.
# On Windows (cross-built, run under Wine) only the widget-free tests are
# built: tests of windows need the offscreen platform the Windows Qt lacks,
# a test of the meter emulator's own process, the broker or poppler is UNIX only.
# Each test program there is one CTest entry, run through the emulator
# (scripts/windows.sh points it at Wine).
function(vorn_add_test name)
  cmake_parse_arguments(ARG "" "LOCAL_ZONE" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    foreach(lib ${ARG_LIBS})
      if(lib MATCHES "_gui$|^vorn_widgets$|^Qt6::Test$")
        return()
      endif()
    endforeach()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} vorn_test_doubles GTest::gtest GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    set(environment "QT_QPA_PLATFORM=minimal")
    if(ARG_LOCAL_ZONE)
      list(APPEND environment "TZ=${ARG_LOCAL_ZONE}")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} vorn_test_doubles GTest::gtest GTest::gmock)
  # Tests of windows also get the scripted dialogs.
  foreach(lib ${ARG_LIBS})
    if(lib MATCHES "_gui$|^vorn_widgets$")
      target_link_libraries(${name} PRIVATE vorn_test_dialogs)
      break()
    endif()
  endforeach()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  # Tests of windows need a platform even while their cases are listed at build time.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
