vorn_add_test(graphs_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/level_list_plot_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/histogram_data_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/core_test_main.cpp
  LIBS vorn_graphs)
