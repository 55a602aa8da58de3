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

# Adds `failure` unless the probe's stderr matches `pattern`.
function(expect_in_err pattern failure)
  if(NOT err MATCHES "${pattern}")
    list(APPEND failures "${failure}")
    set(failures "${failures}" PARENT_SCOPE)
  endif()
endfunction()

# Adds a failure unless `pattern` comes `expected` times in the probe's stderr,
# `what` naming what it matches.
function(expect_count pattern expected what)
  string(REGEX MATCHALL "${pattern}" found "${err}")
  list(LENGTH found count)
  if(NOT count EQUAL expected)
    list(APPEND failures "${count} ${what}, not ${expected}")
    set(failures "${failures}" PARENT_SCOPE)
  endif()
endfunction()

# Fails the test under `heading`, a failure a line, when there is one.
macro(report_failures heading)
  if(failures)
    string(REPLACE ";" "\n  " failures "${failures}")
    message(FATAL_ERROR "${heading}:\n  ${failures}")
  endif()
endmacro()
