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
