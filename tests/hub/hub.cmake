if(VORN_HUB)
  # The hub's store on SQLite alone, and the fleet through a mosquitto broker
  # and a PostgreSQL cluster the test starts on free loopback ports.
  vorn_add_test(hub_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/hub_test.cpp
    LIBS vorn_hub vorn_test_support
    LOCAL_ZONE Europe/Berlin)
  target_compile_definitions(hub_test PRIVATE VORN_STATS="$<TARGET_FILE:vorn-stats>")
  add_dependencies(hub_test vorn-stats)
endif()
