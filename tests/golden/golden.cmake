# vorn-stats's outputs on a fixed set of files, byte for byte (golden.py).
find_package(Python3 COMPONENTS Interpreter)
find_program(PDFTOTEXT pdftotext)
if(Python3_Interpreter_FOUND AND PDFTOTEXT)
  add_test(NAME golden_outputs
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/golden.py $<TARGET_FILE:vorn-stats>)
  set_tests_properties(golden_outputs PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                       TIMEOUT 600)
endif()
# The same folder analysed on computers in five zones.
if(Python3_Interpreter_FOUND)
  add_test(NAME site_zone_outputs
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/zones.py $<TARGET_FILE:vorn-stats>)
  set_tests_properties(site_zone_outputs PROPERTIES TIMEOUT 600)
endif()
