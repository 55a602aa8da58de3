# A save that fails, as a Windows user would meet it: runs the save probe in
# configuration mode, where every registry write is refused and OK is
# pressed at once, and checks that the dialog says so in one error box that
# names the key and gives a reason.
#   cmake -DRUN=<wine-run> -DPROBE=<orrelune_save_probe.exe> -P save_failure.cmake

include(${CMAKE_CURRENT_LIST_DIR}/probe_run.cmake)
run_probe(1)

string(REGEX MATCHALL "MessageBoxA\\(" boxes "${err}")
list(LENGTH boxes box_count)
if(NOT err MATCHES "RegSetValueExA\\(resolution\\)")
  list(APPEND failures "no write was tried")
endif()
if(NOT box_count EQUAL 1)
  list(APPEND failures "${box_count} message boxes, not 1")
endif()
# MB_OK | MB_ICONERROR, the key, and the system's text after it.
if(NOT err MATCHES "MessageBoxA\\(Error, 0x10\\)\nThe settings could not be saved to HKEY_CURRENT_USER\\\\Software\\\\Orrelune:\n[A-Za-z][^\n]+\n\\.\n")
  list(APPEND failures "the box does not say that the save failed, where and why")
endif()
report_failures("The failed save was not told")
