# Fuzz targets for everything that reads bytes from outside. Each target's
# corpus is tests/fuzz/corpus/<name>; inputs that once crashed it are kept in
# tests/fuzz/crashes/<name>. The normal suite replays both; a build with
# -DVORN_FUZZ=ON (clang) also builds the libFuzzer executables fuzz_<name>,
# which .ci/run drives for a fixed, seeded time.

# vorn_add_fuzz_target(<name> LIBS <targets...>): source tests/fuzz/<name>_fuzz.cpp.
function(vorn_add_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  set(source ${PROJECT_SOURCE_DIR}/tests/fuzz/${name}_fuzz.cpp)
  set(folders ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name}
              ${PROJECT_SOURCE_DIR}/tests/fuzz/crashes/${name})
  if(VORN_FUZZ)
    add_executable(fuzz_${name} ${source})
    target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(vorn_fuzz_targets fuzz_${name})
  endif()
  if(BUILD_TESTING AND NOT VORN_FUZZ)
    add_executable(fuzz_${name}_replay ${source} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    target_link_libraries(fuzz_${name}_replay PRIVATE ${ARG_LIBS})
    add_test(NAME fuzz_${name}_replay COMMAND fuzz_${name}_replay ${folders})
  endif()
endfunction()

if(VORN_FUZZ)
  add_custom_target(vorn_fuzz_targets)
endif()

vorn_add_fuzz_target(data_file LIBS vorn_analysis)
vorn_add_fuzz_target(logger LIBS vorn_recording)
vorn_add_fuzz_target(replies LIBS vorn_link)
