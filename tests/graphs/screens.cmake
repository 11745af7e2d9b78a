# Pictures of every graph window with made-up data, for checking the look by
# eye: graph_screens <folder>.
if(UNIX)
add_executable(graph_screens ${CMAKE_CURRENT_LIST_DIR}/graph_screens.cpp
               ${PROJECT_SOURCE_DIR}/src/panel/gui/LiveGraphs.cpp
               ${PROJECT_SOURCE_DIR}/src/panel/gui/LiveGraphs.h)
target_include_directories(graph_screens PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(graph_screens PRIVATE vorn_graphs_gui)
endif()
