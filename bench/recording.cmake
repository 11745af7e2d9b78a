# The platform library links only once the reading list model is implemented.
if(EXISTS ${PROJECT_SOURCE_DIR}/src/ui/core/ReadingListModel.cpp)
  add_executable(bench_recording ${CMAKE_CURRENT_LIST_DIR}/recording/recording_bench.cpp)
  target_link_libraries(bench_recording PRIVATE vorn_recording benchmark::benchmark)
endif()
