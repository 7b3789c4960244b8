# Native tests of the portable code, with AddressSanitizer and
# UndefinedBehaviorSanitizer.
find_package(GTest REQUIRED)
option(FWU_SANITIZE "Build native code with ASan and UBSan" ON)
if(FWU_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

function(fwu_native_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE fwu_portable GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS native)
endfunction()

# libFuzzer targets (clang only). The portable code is built once more with
# the fuzzer's coverage instrumentation, so that every target sees inside the
# code it drives. Each target reads its committed seeds from
# tests/fuzz/<name without _fuzz>_seeds (and any further SEEDS folders) and
# writes what it finds new into its own corpus folder in the build tree; the
# committed seeds are only read. Under ctest each target runs for a short,
# fixed time; ./run fuzz runs them longer from the list written here.
set(FWU_FUZZ_SECONDS 5 CACHE STRING "Seconds each fuzz target runs under ctest")
set(FWU_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)
set(FWU_FUZZ_MANIFEST ${FWU_FUZZ_DIR}/targets.jsonl)

function(fwu_fuzz_setup)
  get_target_property(sources fwu_portable SOURCES)
  add_library(fwu_portable_fuzz STATIC ${sources})
  target_include_directories(fwu_portable_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(fwu_portable_fuzz PRIVATE -fsanitize=fuzzer-no-link)
  file(WRITE ${FWU_FUZZ_MANIFEST} "")
endfunction()

# fwu_fuzz_target(name SOURCES files... MAX_LEN bytes [DICT file] [SEEDS folders...])
function(fwu_fuzz_target name)
  cmake_parse_arguments(FUZZ "" "MAX_LEN;DICT" "SOURCES;SEEDS" ${ARGN})
  add_executable(${name} ${FUZZ_SOURCES})
  target_link_libraries(${name} PRIVATE fwu_portable_fuzz)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)

  string(REGEX REPLACE "_fuzz$" "" stem ${name})
  set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${stem}_seeds ${FUZZ_SEEDS})
  set(corpus ${FWU_FUZZ_DIR}/corpus/${name})
  set(artifacts ${FWU_FUZZ_DIR}/crashes/${name})
  file(MAKE_DIRECTORY ${corpus} ${artifacts})
  set(options -max_len=${FUZZ_MAX_LEN} -timeout=10)
  if(FUZZ_DICT)
    list(APPEND options -dict=${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${FUZZ_DICT})
  endif()
  add_test(NAME ${name}
           COMMAND ${name} -max_total_time=${FWU_FUZZ_SECONDS} ${options}
                   -artifact_prefix=${artifacts}/ ${corpus} ${seeds})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS "native;fuzz")

  # One JSON object per line for tools that run the targets longer.
  set(line "{\"name\": \"${name}\", \"exe\": \"${CMAKE_CURRENT_BINARY_DIR}/${name}\"")
  string(APPEND line ", \"corpus\": \"${corpus}\", \"artifacts\": \"${artifacts}/\"")
  list(TRANSFORM seeds PREPEND "\"")
  list(TRANSFORM seeds APPEND "\"")
  list(JOIN seeds ", " seed_list)
  list(TRANSFORM options PREPEND "\"")
  list(TRANSFORM options APPEND "\"")
  list(JOIN options ", " option_list)
  string(APPEND line ", \"seeds\": [${seed_list}], \"options\": [${option_list}]}\n")
  file(APPEND ${FWU_FUZZ_MANIFEST} "${line}")
endfunction()
