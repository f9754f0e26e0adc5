# vz_isolate_test(<test> <extra-env>): each test gets its own per-user folders,
# so no test writes logs, settings or sockets into the real user's folders or
# meets another test's.
# The runtime folder holds pipe sockets, whose paths must fit a socket address
# (108 bytes), so it lives under a short folder in /tmp named for the build.
# That folder is made when a test run starts and removed when it ends (the
# CTest fixture vz_runtime_folders, set up at the end of the top-level list).
function(vz_isolate_test name extra_env)
  set(home ${CMAKE_BINARY_DIR}/test-home/${name})
  file(MAKE_DIRECTORY ${home}/config ${home}/data ${home}/cache)
  set(isolated XDG_RUNTIME_DIR=${VZ_TEST_RUNTIME_ROOT}/${name} XDG_CONFIG_HOME=${home}/config
      XDG_DATA_HOME=${home}/data XDG_CACHE_HOME=${home}/cache ${VZ_TSAN_OPTIONS})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${isolated};${extra_env}"
                       FIXTURES_REQUIRED vz_runtime_folders)
  set_property(GLOBAL APPEND PROPERTY VZ_ISOLATED_TESTS ${name})
endfunction()

# The short folder in /tmp that holds the isolated tests' runtime folders.
string(MD5 vz_build_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${vz_build_hash}" 0 10 vz_build_hash)
set(VZ_TEST_RUNTIME_ROOT /tmp/vzt-${vz_build_hash})

# vz_add_runtime_folder_fixture(): the tests that make the isolated tests'
# runtime folders (mode 0700) before any of them runs and remove them after
# the last; CTest adds both to any selection of those tests.
function(vz_add_runtime_folder_fixture)
  get_property(names GLOBAL PROPERTY VZ_ISOLATED_TESTS)
  string(REPLACE ";" "\n" names_text "${names}")
  file(WRITE ${CMAKE_BINARY_DIR}/isolated_tests.txt "${names_text}\n")
  add_test(NAME vz_runtime_folders_make
           COMMAND ${CMAKE_COMMAND} -DROOT=${VZ_TEST_RUNTIME_ROOT} -DNAMES=${CMAKE_BINARY_DIR}/isolated_tests.txt
                   -DACTION=make -P ${PROJECT_SOURCE_DIR}/cmake/runtime_folders.cmake)
  add_test(NAME vz_runtime_folders_remove
           COMMAND ${CMAKE_COMMAND} -DROOT=${VZ_TEST_RUNTIME_ROOT} -DACTION=remove
                   -P ${PROJECT_SOURCE_DIR}/cmake/runtime_folders.cmake)
  set_tests_properties(vz_runtime_folders_make PROPERTIES FIXTURES_SETUP vz_runtime_folders TIMEOUT 60)
  set_tests_properties(vz_runtime_folders_remove PROPERTIES FIXTURES_CLEANUP vz_runtime_folders TIMEOUT 60)
endfunction()

# The thread checker's options for every test: what it cannot see the
# synchronisation of (tsan.supp gives each entry's reason).
set(VZ_TSAN_OPTIONS
    "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_CURRENT_LIST_DIR}/tsan.supp")

# The sanitizers' suppressions for tests that draw text or talk to X: the
# font and text libraries keep caches for the life of the process, and
# pango starts fontconfig on a thread of its own.
set(VZ_FONT_LEAK_SUPPRESSIONS
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan_fonts.supp"
    ${VZ_TSAN_OPTIONS})

# vz_test_needs(<label> <target>...): targets a test of <label> runs that its
# own program does not link (programs it starts, what an install step
# installs), for the label's build target tests_<label>.
function(vz_test_needs label)
  set_property(GLOBAL APPEND PROPERTY VZ_TEST_PROGRAMS_${label} ${ARGN})
  set_property(GLOBAL APPEND PROPERTY VZ_TEST_LABELS ${label})
endfunction()

# vz_add_label_build_targets(): tests_<label> for every label, building the
# programs its tests run and nothing else, so a configuration that runs only
# some labels (the thread-sanitized one) builds only those.
function(vz_add_label_build_targets)
  get_property(labels GLOBAL PROPERTY VZ_TEST_LABELS)
  # The labels scripts/test.sh names exist as targets even while no test has them.
  list(APPEND labels platform common contracts trace weblink bridge client outside sharing capture video display fuzz)
  list(REMOVE_DUPLICATES labels)
  add_custom_target(all_tests)
  foreach(label IN LISTS labels)
    get_property(programs GLOBAL PROPERTY VZ_TEST_PROGRAMS_${label})
    list(REMOVE_DUPLICATES programs)
    add_custom_target(tests_${label})
    if(programs)
      add_dependencies(tests_${label} ${programs})
    endif()
    add_dependencies(all_tests tests_${label})
  endforeach()
endfunction()

# vz_add_test(NAME <name> SOURCES <files...> LIBS <libs...> LABEL <subsystem> [ENV <k=v...>])
# One GoogleTest executable registered with CTest under a subsystem label.
function(vz_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest GTest::gtest_main Threads::Threads)
  # A test program's own files compile without optimisation: the code under
  # test comes from the libraries, built as the configuration says, and the
  # test files, most of the build, then compile in about half the time.
  target_compile_options(${T_NAME} PRIVATE -O0)
  vz_test_needs(${T_LABEL} ${T_NAME})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  math(EXPR T_TIMEOUT "${T_TIMEOUT} * ${VZ_SLOWDOWN}")
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  vz_isolate_test(${T_NAME} "${T_ENV}")
endfunction()

# vz_add_benchmark(NAME <name> SOURCES <files...> LIBS <libs...>)
# Built only; benchmarks are run by hand (docs/performance.md has the commands), never as tests.
function(vz_add_benchmark)
  if(NOT VZ_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()

# vz_add_fuzzer(NAME <name> SOURCES <files...> LIBS <libs...> [CORPUS <dir>])
# A libFuzzer target when VZ_FUZZERS is on (clang); otherwise the same entry point
# is linked into a driver that replays files, and the seed corpus (if given) is
# replayed as a test, so every configuration runs the malformed seeds.
function(vz_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(VZ_FUZZERS)
    add_executable(${F_NAME} ${F_SOURCES})
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY VZ_FUZZER_TARGETS ${F_NAME})
    if(F_CORPUS)
      set_property(GLOBAL APPEND PROPERTY VZ_FUZZER_CORPORA "${F_NAME}=${F_CORPUS}")
    endif()
  else()
    add_executable(${F_NAME} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
    if(F_CORPUS)
      file(GLOB seeds CONFIGURE_DEPENDS ${F_CORPUS}/*)
      if(seeds)
        add_test(NAME ${F_NAME}_seeds COMMAND ${F_NAME} ${seeds})
        vz_test_needs(fuzz ${F_NAME})
        set_tests_properties(${F_NAME}_seeds PROPERTIES LABELS fuzz TIMEOUT 120)
        vz_isolate_test(${F_NAME}_seeds "")
      endif()
    endif()
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
