# Shared by the probes' scripts: runs the probe (-DPROBE, through -DRUN) in
# configuration mode and gathers what went wrong in `failures`, which
# report_failures turns into the test's failure.

# Sets code and err to the probe's exit code and stderr, shows both in the
# test's log, and starts `failures` with the exit code when it is not
# `expected`.
macro(run_probe expected)
  execute_process(COMMAND ${RUN} ${PROBE} /c
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 600)
  message(STATUS "exit code: ${code}\nstderr:\n${err}")
  set(failures)
  if(NOT code STREQUAL "${expected}")
    list(APPEND failures "exit code ${code}, not ${expected}")
  endif()
endmacro()

# Fails the test under `heading`, a failure a line, when there is one.
macro(report_failures heading)
  if(failures)
    string(REPLACE ";" "\n  " failures "${failures}")
    message(FATAL_ERROR "${heading}:\n  ${failures}")
  endif()
endmacro()
