# A save that fails, as a Windows user would meet it: runs the save probe in
# configuration mode, where every registry write is refused and OK is
# pressed at once, and checks that the dialog says so in one error box that
# names the key and gives a reason.
#   cmake -DRUN=<wine-run> -DPROBE=<orrelune_save_probe.exe> -P save_failure.cmake

execute_process(COMMAND ${RUN} ${PROBE} /c
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 600)
message(STATUS "exit code: ${code}\nstderr:\n${err}")

string(REGEX MATCHALL "MessageBoxA\\(" boxes "${err}")
list(LENGTH boxes box_count)
set(failures)
if(NOT code STREQUAL "1")
  list(APPEND failures "exit code ${code}, not 1")
endif()
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
if(failures)
  string(REPLACE ";" "\n  " failures "${failures}")
  message(FATAL_ERROR "The failed save was not told:\n  ${failures}")
endif()
