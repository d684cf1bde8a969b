# Installs the build into a fresh prefix, as root a scratch /opt/qelta-test-XXXX (its configuration
# and state in /etc/opt and /var/opt, all removed afterwards), and checks the tree: the files the
# suite loads are there, every library's needs are met inside it, and nothing of the tests came
# along. Then runs the installed sendwizard offscreen on a trial state root, driven from its first
# page to Finish with a destination from the sample phone book and the sample cover sheet: the job
# stream and the log entry must be there, and every library of the suite the wizard loaded must have
# come from the prefix. Then the installed environment setting stores a sender name typed on its
# first page. Last, with no state root, the installed machine as the install left it, only
# "FileOutput" added to its hive: the wizard sends a typed number to that file.
#   cmake -DBUILD_DIR=<build> -DSOURCE_DIR=<source> -DDRIVER=<wizard driver> -P install_wizard_test.cmake
cmake_minimum_required(VERSION 3.25)
set(base "${BUILD_DIR}/install-wizard-test")
if(NOT DEFINED PREFIX)
  # The checks run in a child, so that the folders outside the build tree go whatever they find.
  set(prefix "${base}/prefix")
  set(outside "")
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid STREQUAL "0" AND IS_DIRECTORY /opt)
    string(RANDOM LENGTH 8 ALPHABET abcdefghijklmnopqrstuvwxyz0123456789 tag)
    set(prefix "/opt/qelta-test-${tag}")
    set(outside "${prefix}" "/etc/opt/qelta-test-${tag}" "/var/opt/qelta-test-${tag}")
    foreach(folder /etc/opt /var/opt)
      if(NOT EXISTS "${folder}")
        list(APPEND outside "${folder}") # made by the install: removed when nothing else is left in it
      endif()
    endforeach()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DBUILD_DIR=${BUILD_DIR}" "-DSOURCE_DIR=${SOURCE_DIR}" "-DDRIVER=${DRIVER}"
    "-DPREFIX=${prefix}" -P "${CMAKE_CURRENT_LIST_FILE}" RESULT_VARIABLE failed)
  foreach(folder IN LISTS outside)
    if(folder MATCHES "/qelta-test-")
      file(REMOVE_RECURSE "${folder}")
    else()
      file(GLOB left "${folder}/*")
      if(NOT left)
        file(REMOVE_RECURSE "${folder}")
      endif()
    endif()
  endforeach()
  if(failed)
    message(FATAL_ERROR "the installed suite's checks in ${prefix} failed")
  endif()
  return()
endif()
set(prefix "${PREFIX}")
file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${base}/home" "${base}/tmp" "${base}/out")

include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/QeltaScriptRun.cmake")
include("${BUILD_DIR}/QeltaLayout.cmake")

run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

# What the programs load by name or start, and the help pages they open.
qelta_machine_folder(machine "${prefix}")
set(paths bin/sendwizard bin/envsetup bin/qelta-regsvr bin/covereditor ${QELTA_DATADIR}/Sendwizard2.html
  ${QELTA_DATADIR}/Bookmanager.html ${QELTA_DATADIR}/COVEREDITOR.html)
foreach(name faxplatform xmldoclib bookpicker mfplink IK6COM IK6FILE IK6PRINT IK6EFFECT sendconvlib jobbuilder sendlog
    booktool covertool cryptotool qeltamd5lib resultreceiver pagewriter pagefilelib coverrender driversetupnt setuphelper)
  list(APPEND paths ${QELTA_LIBDIR}/lib${name}.so)
endforeach()
foreach(path IN LISTS paths ITEMS "${machine}")
  if(NOT EXISTS "${prefix}/${path}" AND NOT EXISTS "${path}")
    message(FATAL_ERROR "the installed tree lacks ${path}")
  endif()
endforeach()
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${prefix}" "${prefix}/*")
foreach(path IN LISTS installed)
  if(path MATCHES "TEST|OTHERPROG|Sample|_test|_worker|hostaddrlib|testsupport|wizard_driver|installer_standin")
    message(FATAL_ERROR "the installed tree holds ${path}, which belongs to the tests")
  endif()
  if(path MATCHES "\\.so$" OR path MATCHES "^bin/[^/.]+$")
    execute_process(COMMAND ldd "${prefix}/${path}" OUTPUT_VARIABLE needs ERROR_VARIABLE needs)
    if(needs MATCHES "not found")
      message(FATAL_ERROR "${path} needs a library the installed tree lacks:\n${needs}")
    endif()
  endif()
endforeach()

# The trial run's set-up (its servers, settings, the sample cover sheet, phone book and fax), made by
# its program copied into the tree so that it, too, takes the tree's libraries.
file(COPY "${BUILD_DIR}/bin/qelta-sample" DESTINATION "${prefix}/bin")
set(asan "$ENV{ASAN_OPTIONS}")
set(env "${CMAKE_COMMAND}" -E env "QELTA_ROOT=${base}/state" "HOME=${base}/home" "TMPDIR=${base}/tmp"
  "XDG_CONFIG_HOME=${base}/home/.config" "XDG_DATA_HOME=${base}/home/.local/share" QT_QPA_PLATFORM=offscreen
  "ASAN_OPTIONS=${asan}:verify_asan_link_order=0")
run("qelta-sample prepare" ${env} "${prefix}/bin/qelta-sample" prepare)
string(REGEX REPLACE "\n$" "" args "${output}")
string(REPLACE "\n" ";" args "${args}")

# The installed cover sheet editor opens the sample cover sheet and keeps running until it is closed.
execute_process(COMMAND ${env} "${prefix}/bin/covereditor" "${base}/state/covers/Sample.TQC"
  RESULT_VARIABLE editor OUTPUT_VARIABLE editor_output ERROR_VARIABLE editor_output TIMEOUT 5)
if(NOT editor MATCHES "timeout")
  message(FATAL_ERROR "the installed cover sheet editor ended (${editor}):\n${editor_output}")
endif()

# Runs an installed program under the driver's scenario; fails unless the scenario reached its end
# without a message box and every file of the suite the program mapped came from the prefix
# (nothing from the build tree, the driver itself aside). Leaves the names of the suite's
# libraries it loaded in `seen`.
function(drive what scenario)
  set(report "${base}/driver-report-${scenario}.txt")
  run("${what}" ${env} "LD_PRELOAD=${DRIVER}" QELTA_WIZARD_DRIVER=${scenario}
    "QELTA_WIZARD_DRIVER_REPORT=${report}" ${ARGN})
  file(READ "${report}" driven)
  if(NOT driven MATCHES "\ndone\n")
    message(FATAL_ERROR "${what} was not driven to its end:\n${driven}")
  endif()
  if(driven MATCHES "\nbox ([^\n]*)" OR driven MATCHES "^box ([^\n]*)")
    message(FATAL_ERROR "${what} showed a message: ${CMAKE_MATCH_1}")
  endif()
  string(REGEX MATCHALL "loaded [^\n]*" loaded "${driven}")
  set(names "")
  foreach(line IN LISTS loaded)
    string(SUBSTRING "${line}" 7 -1 path)
    if(path STREQUAL DRIVER)
      continue()
    endif()
    if(path MATCHES "^${BUILD_DIR}/" OR path MATCHES "^${SOURCE_DIR}/")
      string(FIND "${path}" "${prefix}/" inPrefix)
      if(NOT inPrefix EQUAL 0)
        message(FATAL_ERROR "${what} loaded ${path} from outside the installed tree")
      endif()
    endif()
    get_filename_component(name "${path}" NAME)
    if(EXISTS "${prefix}/${QELTA_LIBDIR}/${name}" OR EXISTS "${prefix}/${QELTA_DATADIR}/resources/${name}")
      get_filename_component(folder "${path}" DIRECTORY)
      if(NOT folder STREQUAL "${prefix}/${QELTA_LIBDIR}" AND NOT folder STREQUAL "${prefix}/${QELTA_DATADIR}/resources")
        message(FATAL_ERROR "${what} loaded ${name} from ${folder}")
      endif()
      list(APPEND names "${name}")
    endif()
  endforeach()
  set(seen "${names}" PARENT_SCOPE)
endfunction()

drive("the installed wizard" phonebook-cover "${prefix}/bin/sendwizard" ${args})
foreach(name libbookpicker.so libbooktool.so libcovertool.so libjobbuilder.so libsendlog.so libqeltadraw.so
    libqeltaimaging.so libsendconvlib.so)
  if(NOT name IN_LIST seen)
    message(FATAL_ERROR "the wizard never loaded ${name}; it loaded: ${seen}")
  endif()
endforeach()

# The stream and the log entry of this run, sent to the phone book's record.
run("qelta-sample results" ${env} "${prefix}/bin/qelta-sample" results)
if(NOT output MATCHES "Job stream: +([^\n]+)\n")
  message(FATAL_ERROR "no job stream:\n${output}")
endif()
# Read as hex digits: the destination block holds binary fields. The stream starts with the PJL
# header and carries the record's number.
file(READ "${CMAKE_MATCH_1}" stream LIMIT 4096 HEX)
string(ASCII 27 escape)
string(HEX "${escape}%-12345X@PJL" header)
string(HEX "0301234567" number)
string(FIND "${stream}" "${header}" headerAt)
string(FIND "${stream}" "${number}" numberAt)
if(NOT headerAt EQUAL 0 OR numberAt EQUAL -1)
  message(FATAL_ERROR "the job stream is not the phone book destination's PJL job")
endif()
if(NOT output MATCHES "Sending log entry: +([^\n]+)\n")
  message(FATAL_ERROR "no sending log entry:\n${output}")
endif()
if(NOT EXISTS "${CMAKE_MATCH_1}/desktop.xml")
  message(FATAL_ERROR "the sending log entry ${CMAKE_MATCH_1} has no entry file")
endif()

# The installed environment setting: a sender name typed on the Header Setting page and OK; the
# name is in the user's settings of the state root, where the next wizard reads it.
drive("the installed environment setting" envsetup "${prefix}/bin/envsetup")
file(GLOB_RECURSE hives "${base}/state/*HKCU.reg")
set(stored "")
foreach(hive IN LISTS hives)
  file(READ "${hive}" text)
  string(APPEND stored "${text}")
endforeach()
if(NOT stored MATCHES "\"HeaderUserName\"=\"Installed Run\"")
  message(FATAL_ERROR "the environment setting stored no sender name; the user's settings hold:\n${stored}")
endif()

# The installed machine, no state root: the install's registrations and settings, and "FileOutput"
# added at the end of its machine hive as a user would; a typed number sent to that file.
run("qelta-sample prepare" ${env} "${prefix}/bin/qelta-sample" prepare)
string(REGEX REPLACE "\n$" "" args "${output}")
string(REPLACE "\n" ";" args "${args}")
file(APPEND "${machine}/HKLM.reg"
  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KOVRA\\TQLSTL2]\n\"FileOutput\"=\"${base}/out/fax-job.pjl\"\n\n")
set(env "${CMAKE_COMMAND}" -E env --unset=QELTA_ROOT "HOME=${base}/home" "TMPDIR=${base}/tmp"
  "XDG_CONFIG_HOME=${base}/home/.config" "XDG_DATA_HOME=${base}/home/.local/share" QT_QPA_PLATFORM=offscreen
  "ASAN_OPTIONS=${asan}:verify_asan_link_order=0")
drive("the installed wizard on the installed machine" send "${prefix}/bin/sendwizard" ${args})
file(GLOB streams "${base}/out/fax-job.pjl*")
if(NOT streams)
  message(FATAL_ERROR "the installed wizard wrote no job stream to ${base}/out")
endif()
list(GET streams 0 stream)
file(READ "${stream}" stream LIMIT 64 HEX)
string(FIND "${stream}" "${header}" headerAt)
if(NOT headerAt EQUAL 0)
  message(FATAL_ERROR "the installed wizard's job stream is no PJL job")
endif()
file(REMOVE_RECURSE "${base}")
