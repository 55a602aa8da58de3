# e2e_support: a private Xvfb, child processes, the windows on the server and
# xdotool, for the end-to-end tests and for the benchmarks that drive the
# program (bench/), which build it too when the tests are not built.
include_guard(GLOBAL)
find_package(X11 REQUIRED)
add_library(e2e_support STATIC ${CMAKE_CURRENT_LIST_DIR}/e2e_support.cpp)
target_link_libraries(e2e_support PUBLIC X11::X11 PRIVATE X11::Xrandr)
target_include_directories(e2e_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(e2e_support PRIVATE WITH_XVFB="${PROJECT_SOURCE_DIR}/scripts/with-xvfb")
