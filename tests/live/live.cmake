vorn_add_test(panel_display_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_display_test.cpp LIBS vorn_live)
vorn_add_test(link_lost_recovery_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_lost_recovery_test.cpp LIBS vorn_live)
