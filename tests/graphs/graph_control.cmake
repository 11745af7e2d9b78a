find_package(Qt6 REQUIRED COMPONENTS Test)
vorn_add_test(graph_control_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/graph_control_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS vorn_widgets Qt6::Test)
