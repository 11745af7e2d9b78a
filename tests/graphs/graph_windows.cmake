find_package(Qt6 REQUIRED COMPONENTS Test)
vorn_add_test(graph_windows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/series_graph_windows_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/histogram_windows_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/live_graphs_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/graph_printing_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
          ${PROJECT_SOURCE_DIR}/src/panel/gui/LiveGraphs.cpp
          ${PROJECT_SOURCE_DIR}/src/panel/gui/LiveGraphs.h
  LIBS vorn_graphs_gui Qt6::Test)
