# scripts/run-sendwizard.sh as a user runs it, the real wizard driven offscreen in each run: what
# the script prints and its exit code after a send, after two separate jobs, after a Cancel that
# follows them, after a send that fails, and after --reset.
#   cmake -DBUILD_DIR=<build> -DSOURCE_DIR=<source> -DDRIVER=<wizard driver> -P trial_run_test.cmake
cmake_minimum_required(VERSION 3.25)
set(base "${BUILD_DIR}/trial-run-test")
set(state "${base}/state")
file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${base}/tmp")

# One run of the script with the driver's scenario; out gets what it printed, rc its exit code.
function(trial scenario)
  set(asan "$ENV{ASAN_OPTIONS}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY QT_QPA_PLATFORM=offscreen "TMPDIR=${base}/tmp"
      "QELTA_BIN=${BUILD_DIR}/bin" "LD_PRELOAD=${DRIVER}" "QELTA_WIZARD_DRIVER=${scenario}"
      "QELTA_WIZARD_DRIVER_REPORT=${base}/report-${scenario}.txt" "ASAN_OPTIONS=${asan}:verify_asan_link_order=0"
      bash "${SOURCE_DIR}/scripts/run-sendwizard.sh" --state "${state}" ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(READ "${base}/report-${scenario}.txt" report)
  if(NOT report MATCHES "\ndone\n")
    message(FATAL_ERROR "the ${scenario} run was not driven through:\n${report}\n${out}\n${err}")
  endif()
  set(out "${out}${err}" PARENT_SCOPE)
  set(rc "${rc}" PARENT_SCOPE)
endfunction()

# Fails with what the script printed.
function(fail what)
  message(FATAL_ERROR "${what}:\n${out}")
endfunction()

function(count_matches regex text result)
  string(REGEX MATCHALL "${regex}" found "${text}")
  list(LENGTH found n)
  set(${result} ${n} PARENT_SCOPE)
endfunction()

# A send: its stream and its log entry, exit code 0.
trial(send)
if(NOT rc EQUAL 0)
  fail("the send ended with ${rc}")
endif()
string(FIND "${out}" "Job stream:        ${state}/out/fax-job.pjl\n" at)
count_matches("Sending log entry: ${state}/log/[^\n]+" "${out}" entries)
if(at EQUAL -1 OR NOT entries EQUAL 1)
  fail("the send's stream file and its one log entry are not named")
endif()

# Two destinations without broadcast: a job each, so two streams and two log entries.
trial(two-separate)
count_matches("Job stream: +${state}/out/fax-job.pjl[^\n]*" "${out}" streams)
count_matches("Sending log entry: ${state}/log/[^\n]+" "${out}" entries)
if(NOT rc EQUAL 0 OR NOT streams EQUAL 2 OR NOT entries EQUAL 2)
  fail("two separate jobs (exit code ${rc}) reported as ${streams} streams and ${entries} log entries")
endif()

# Cancel after them: nothing of the earlier sends is reported as this run's.
trial(cancel)
if(NOT rc EQUAL 0 OR out MATCHES "Job stream:" OR out MATCHES "Sending log entry:"
    OR NOT out MATCHES "Nothing was sent in this run")
  fail("the Cancel (exit code ${rc}) reports what an earlier run made")
endif()

# A send that fails (every name the job builder may give the stream is taken): the script says so,
# names the failure log with its path, and ends non-zero.
foreach(n RANGE 0 255)
  file(WRITE "${state}/out/fax-job.pjl.${n}" "taken")
endforeach()
trial(send)
if(rc EQUAL 0 OR NOT out MATCHES "The send failed: +[^\n]*SendJobData" OR out MATCHES "Job stream:")
  fail("the failed send (exit code ${rc}) is not reported as failed")
endif()
if(NOT out MATCHES "Failure log: +([^\n]+)\n")
  fail("the failure log is not named")
endif()
if(NOT EXISTS "${CMAKE_MATCH_1}")
  fail("the failure log named is not there")
endif()

# --reset starts from a fresh state folder: no stream of the earlier runs is left, the sample
# phone book is there again.
trial(cancel --reset)
if(NOT rc EQUAL 0 OR EXISTS "${state}/out/fax-job.pjl"
    OR NOT EXISTS "${state}/home/.local/share/qelta/phonebook/Sample.xml")
  fail("the run after --reset (exit code ${rc}) did not start afresh")
endif()
file(REMOVE_RECURSE "${base}")
