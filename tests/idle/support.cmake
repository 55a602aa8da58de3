# idle_support: a scratch folder, a stand-in saver, a private session bus, a
# client on it, and headless mutter and KWin, for the idle watcher's tests
# and its benchmarks (bench/), which build it too when the tests are not.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/../e2e/support.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/../support/support.cmake)
find_package(PkgConfig REQUIRED)
pkg_check_modules(IDLE_SUPPORT_SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
add_library(idle_support STATIC ${CMAKE_CURRENT_LIST_DIR}/idle_support.cpp)
target_include_directories(idle_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(idle_support PUBLIC e2e_support test_files PkgConfig::IDLE_SUPPORT_SYSTEMD)
