vorn_add_test(live_frame_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_frame_test.cpp LIBS vorn_link)
vorn_add_test(meter_link_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/meter_link_test.cpp LIBS vorn_link)
vorn_add_test(port_choice_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/port_choice_test.cpp LIBS vorn_link)
vorn_add_test(port_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/port_window_test.cpp LIBS vorn_link_windows Qt6::Test)
