# test_files: a scratch folder that goes when its test ends, and a PNG read
# as a picture, for the tests and for the benchmarks (bench/), which build
# it too when the tests are not built.
include_guard(GLOBAL)
find_package(PNG REQUIRED)
add_library(test_files STATIC ${CMAKE_CURRENT_LIST_DIR}/scratch.cpp ${CMAKE_CURRENT_LIST_DIR}/picture.cpp)
target_include_directories(test_files PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(test_files PRIVATE PNG::PNG)
