# libFuzzer target for the data file reader and the level-text parser. Opt-in:
# configure a separate build with clang, e.g.
#   cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVORN_FUZZ=ON
#   cmake --build build-fuzz --target fuzz_data_file
#   build-fuzz/tests/fuzz_data_file -max_total_time=180 tests/fuzz/corpus
option(VORN_FUZZ "Build the libFuzzer target for the data file reader (clang only)" OFF)
if(VORN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VORN_FUZZ needs clang (libFuzzer)")
  endif()
  # The code under test is compiled into the target itself so that libFuzzer
  # sees its coverage.
  add_executable(fuzz_data_file
    ${PROJECT_SOURCE_DIR}/tests/fuzz/data_file_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/src/recording/DataFileReader.cpp
    ${PROJECT_SOURCE_DIR}/src/ui/core/ReadingListModel.cpp
    ${PROJECT_SOURCE_DIR}/src/ui/core/ReadingListModel.h
    ${PROJECT_SOURCE_DIR}/src/analysis/LevelText.cpp
    ${PROJECT_SOURCE_DIR}/src/analysis/ListDistribution.cpp
    ${PROJECT_SOURCE_DIR}/src/analysis/StatisticsReport.cpp)
  target_include_directories(fuzz_data_file PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(fuzz_data_file PRIVATE _GLIBCXX_ASSERTIONS)
  target_compile_options(fuzz_data_file PRIVATE -fsanitize=fuzzer,address,undefined
                         -fno-sanitize-recover=undefined)
  target_link_options(fuzz_data_file PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(fuzz_data_file PRIVATE Qt6::Core)
endif()
