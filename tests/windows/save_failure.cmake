# A save that fails, as a Windows user would meet it: runs the save probe in
# configuration mode, where every registry write is refused and OK is
# pressed at once, and checks that the dialog says so in one error box that
# names the key and gives a reason.
#   cmake -DRUN=<wine-run> -DPROBE=<orrelune_save_probe.exe> -P save_failure.cmake

include(${CMAKE_CURRENT_LIST_DIR}/probe_run.cmake)
run_probe(1)

expect_in_err("RegSetValueExA\\(resolution\\)" "no write was tried")
expect_count("MessageBoxA\\(" 1 "message boxes")
# MB_OK | MB_ICONERROR, the key, and the system's text after it.
expect_in_err("MessageBoxA\\(Error, 0x10\\)\nThe settings could not be saved to HKEY_CURRENT_USER\\\\Software\\\\Orrelune:\n[A-Za-z][^\n]+\n\\.\n"
  "the box does not say that the save failed, where and why")
report_failures("The failed save was not told")
