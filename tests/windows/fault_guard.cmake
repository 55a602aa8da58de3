# A fault inside a mode, as a Windows user would meet it: runs the fault probe
# in configuration mode, where its dialog faults, and checks that the guard
# ends the process with exit code 3 after exactly one report of the platform
# and after telling the system that no saver runs.
#   cmake -DRUN=<wine-run> -DPROBE=<orrelune_fault_probe.exe> -P fault_guard.cmake

# Wine's report is its line "wine: Unhandled <exception> ..., starting
# debugger...": a page fault, which Wine names an illegal instruction when
# the i686 build runs under the processor emulator (it does not pass on the
# kind of fault). The debugger Wine starts then would show a crash dialog
# and wait for a click; without it, the report is that line alone.
if(DEFINED ENV{WINEDLLOVERRIDES})
  set(ENV{WINEDLLOVERRIDES} "$ENV{WINEDLLOVERRIDES};winedbg.exe=d")
else()
  set(ENV{WINEDLLOVERRIDES} "winedbg.exe=d")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/probe_run.cmake)
run_probe(3)

expect_count("wine: Unhandled (page fault|illegal instruction)" 1 "reports of the fault")
string(REGEX MATCHALL "SystemParametersInfoA\\([0-9]+, [0-9]+\\)" calls "${err}")
if(NOT calls STREQUAL "SystemParametersInfoA(97, 0)")
  list(APPEND failures "calls to the system: '${calls}', not one SystemParametersInfoA(97, 0)")
endif()
report_failures("The fault guard failed")
