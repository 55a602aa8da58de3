# test_files: a scratch folder that goes when its test ends, for the tests
# and for the benchmarks (bench/), which build it too when the tests are not
# built.
include_guard(GLOBAL)
add_library(test_files STATIC ${CMAKE_CURRENT_LIST_DIR}/scratch.cpp)
target_include_directories(test_files PUBLIC ${CMAKE_CURRENT_LIST_DIR})
