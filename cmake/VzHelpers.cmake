# vz_add_test(NAME <name> SOURCES <files...> LIBS <libs...> LABEL <subsystem> [ENV <k=v...>])
# One GoogleTest executable registered with CTest under a subsystem label.
function(vz_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest GTest::gtest_main Threads::Threads)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  if(T_ENV)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()

# vz_add_benchmark(NAME <name> SOURCES <files...> LIBS <libs...>)
# Built only; benchmarks are run by hand or by scripts/bench.sh, never as tests.
function(vz_add_benchmark)
  if(NOT VZ_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()

# vz_add_fuzzer(NAME <name> SOURCES <files...> LIBS <libs...>)
# A libFuzzer target when VZ_FUZZERS is on (clang); otherwise the same entry point
# is linked into a driver that replays the given corpus files, so it still builds.
function(vz_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(VZ_FUZZERS)
    add_executable(${F_NAME} ${F_SOURCES})
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${F_NAME} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
  endif()
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} Threads::Threads)
endfunction()

# vz_glob_sources(<out-var> <dir>): the .cpp files of a folder that are not
# tests, benchmarks or fuzz targets.
function(vz_glob_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER all EXCLUDE REGEX "(_test|_bench|_fuzz|_testlib)\\.cpp$")
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# vz_glob_tests(<out-var> <dir>): the *_test.cpp files of a folder.
function(vz_glob_tests out dir)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  set(${out} ${all} PARENT_SCOPE)
endfunction()
