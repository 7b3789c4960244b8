# GoogleTest built from Debian's sources with the cross compiler.
set(GTEST_SRC /usr/src/googletest/googletest)
add_library(wingtest STATIC ${GTEST_SRC}/src/gtest-all.cc)
target_include_directories(wingtest SYSTEM PUBLIC ${GTEST_SRC}/include PRIVATE ${GTEST_SRC})
target_compile_options(wingtest PRIVATE -w)
add_library(wingtest_main STATIC ${GTEST_SRC}/src/gtest_main.cc)
target_include_directories(wingtest_main SYSTEM PRIVATE ${GTEST_SRC}/include)
target_link_libraries(wingtest_main PUBLIC wingtest)

# fwu_win_test(name source...): one Windows GoogleTest executable, one ctest
# entry, run under Wine in its own sandbox (network namespace + Xvfb).
function(fwu_win_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE fwu_test_support fwu_win fwu_resources wingtest_main
                        ${FWU_STATIC_LINK})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS wine)
endfunction()
