# For the tests written as CMake scripts: run(WHAT COMMAND...) runs a command, fails the script with
# its output when it does not exit 0, and leaves what it printed in `output`.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()
