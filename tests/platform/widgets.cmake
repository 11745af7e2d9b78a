vorn_add_test(ui_reading_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/reading_list_test.cpp
  LIBS vorn_widgets)
vorn_add_test(ui_dialogs_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_test.cpp
  LIBS vorn_widgets)
vorn_add_test(ui_print_document_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/print_document_test.cpp
  LIBS vorn_widgets)
