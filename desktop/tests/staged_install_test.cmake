# Installs the build as a distribution's package is made, staged for the prefix /usr
# (DESTDIR=<stage> cmake --install <build> --prefix /usr) under the umask 000, and checks the Linux
# layout: programs in /usr/bin, the suite's libraries in their private folder, help pages and
# language modules in /usr/share/qelta, the result monitor's autostart entry in /etc/xdg/autostart
# naming /usr/bin/resultmonitor, and nothing in /usr/etc, /usr/var or among the system's own
# libraries; the machine folder /var/lib/qelta holds the seven component servers' registrations,
# naming /usr's libraries (nothing of the stage), and the machine settings naming the programs the
# suite starts; nothing staged is writable by others. A second install over a machine hive that
# gained settings keeps every one and brings the registrations up to date. install_manifest.txt
# lists each file and link either install left in the stage (the hives and their locks, the
# entries the install writes itself), by its installed path. Then the staged result monitor starts
# and stops; removing every listed path leaves no file in the stage, only folders. Last, the
# autostart entry of /usr/local and ~/.local lands where the desktop reads it.
#   cmake -DBUILD_DIR=<build> -P staged_install_test.cmake
set(base "${BUILD_DIR}/install-test-staged")
set(stage "${base}/stage")
file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${base}/root")
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/QeltaScriptRun.cmake")
include("${BUILD_DIR}/QeltaLayout.cmake")

# install_to(STAGE PREFIX [ENV...]) - an install under the umask 000 (no DESTDIR for an empty STAGE).
function(install_to stage prefix)
  set(destdir --unset=DESTDIR)
  if(stage)
    set(destdir "DESTDIR=${stage}")
  endif()
  run("cmake --install to ${stage}${prefix}" ${CMAKE_COMMAND} -E env ${destdir} ${ARGN}
    sh -c "umask 000 && exec \"$0\" \"$@\"" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
endfunction()
# check_manifest() - install_manifest.txt names every file and link of the stage by its installed
# path (without the stage, as CMake lists its own), and nothing else.
function(check_manifest)
  file(STRINGS "${BUILD_DIR}/install_manifest.txt" listed)
  file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
  list(TRANSFORM staged PREPEND "/")
  set(unlisted ${staged})
  list(REMOVE_ITEM unlisted ${listed})
  set(unstaged ${listed})
  list(REMOVE_ITEM unstaged ${staged})
  if(unlisted OR unstaged)
    list(JOIN unlisted "\n" unlisted)
    list(JOIN unstaged "\n" unstaged)
    message(FATAL_ERROR "install_manifest.txt does not list these files of the stage:\n${unlisted}\n"
      "and lists these, which the stage does not have:\n${unstaged}")
  endif()
endfunction()
install_to("${stage}" /usr)
check_manifest()

set(libs "${stage}/usr/${QELTA_LIBDIR}")
set(data "${stage}/usr/${QELTA_DATADIR}")
set(autostart "${stage}/etc/xdg/autostart/qelta-resultmonitor.desktop")
foreach(path "${stage}/usr/bin/sendwizard" "${stage}/usr/bin/resultmonitor" "${stage}/usr/bin/qelta-regsvr"
    "${libs}/libfaxplatform.so" "${libs}/libsendlog.so" "${libs}/libjobbuilder.so" "${libs}/libIK6FILE.so"
    "${data}/Sendwizard2.html" "${data}/Bookmanager.html" "${data}/COVEREDITOR.html" "${data}/PAGEVIEWER.html"
    "${stage}/var/lib/qelta" "${autostart}" "${stage}/usr/share/applications/qelta-pageviewer.desktop"
    "${stage}/usr/share/icons/hicolor/256x256/apps/qelta-pageviewer.png"
    "${stage}/usr/${QELTA_INCLUDEDIR}/qelta/driversetupnt.h")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "the staged /usr install lacks ${path}")
  endif()
endforeach()
foreach(misplaced "${stage}/usr/etc" "${stage}/usr/var" "${stage}/usr/bin/Sendwizard2.html" "${stage}/usr/bin/resources")
  if(EXISTS "${misplaced}")
    message(FATAL_ERROR "the staged /usr install has ${misplaced}, which no Linux desktop reads")
  endif()
endforeach()
get_filename_component(systemLibs "${libs}" DIRECTORY)
file(GLOB loose "${systemLibs}/*.so")
if(loose)
  message(FATAL_ERROR "the suite's libraries stand among the system's own: ${loose}")
endif()
file(READ "${autostart}" entry)
if(NOT entry MATCHES "\nExec=\"/usr/bin/resultmonitor\"\n")
  message(FATAL_ERROR "the autostart entry does not start /usr/bin/resultmonitor:\n${entry}")
endif()

# The machine folder: every server registered from /usr's library folder, the two settings.
set(machine "${stage}/var/lib/qelta")
file(READ "${machine}/HKCR.reg" classes)
foreach(server cryptotool qeltamd5lib resultreceiver sendlog jobbuilder covertool booktool)
  string(FIND "${classes}" "@=\"/usr/${QELTA_LIBDIR}/lib${server}.so\"" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the install registered no server /usr/${QELTA_LIBDIR}/lib${server}.so:\n${classes}")
  endif()
endforeach()
file(READ "${machine}/HKLM.reg" settings)
if(classes MATCHES "${stage}" OR settings MATCHES "${stage}")
  message(FATAL_ERROR "the machine hives name the staging folder:\n${classes}\n${settings}")
endif()
foreach(setting "\"Viewer\"=\"/usr/bin/pageviewer\"" "\"CvrEditor\"=\"/usr/bin/covereditor\"")
  string(FIND "${settings}" "${setting}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the machine settings lack ${setting}:\n${settings}")
  endif()
endforeach()
execute_process(COMMAND find "${stage}" ! -type l -perm /022 OUTPUT_VARIABLE open)
if(open)
  message(FATAL_ERROR "under the umask 000 the install left these writable by others:\n${open}")
endif()

# An upgrade over a machine whose settings changed: the user's viewer, the file output, the
# setup's remembered default; a registration gone stale.
string(REPLACE "\"Viewer\"=\"/usr/bin/pageviewer\"" "\"Viewer\"=\"/opt/viewer/bin/view\"" settings "${settings}")
string(APPEND settings "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KOVRA\\TQLSTL2]\n\"FileOutput\"=\"/tmp/fax-job.pjl\"\n"
  "\"PreviousDefaultQueue\"=\"Front_Desk\"\n\n")
file(WRITE "${machine}/HKLM.reg" "${settings}")
string(REPLACE "/usr/${QELTA_LIBDIR}/libjobbuilder.so" "/old/libjobbuilder.so" classes "${classes}")
file(WRITE "${machine}/HKCR.reg" "${classes}")
install_to("${stage}" /usr)
check_manifest()
file(READ "${machine}/HKLM.reg" settings)
foreach(setting "\"Viewer\"=\"/opt/viewer/bin/view\"" "\"CvrEditor\"=\"/usr/bin/covereditor\""
    "\"FileOutput\"=\"/tmp/fax-job.pjl\"" "\"PreviousDefaultQueue\"=\"Front_Desk\"")
  string(FIND "${settings}" "${setting}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "installing again lost the machine setting ${setting}:\n${settings}")
  endif()
endforeach()
file(READ "${machine}/HKCR.reg" classes)
if(classes MATCHES "/old/" OR NOT classes MATCHES "@=\"/usr/${QELTA_LIBDIR}/libjobbuilder.so\"")
  message(FATAL_ERROR "installing again left a stale registration:\n${classes}")
endif()

# The staged monitor finds its libraries in the stage.
set(env ${CMAKE_COMMAND} -E env "QELTA_ROOT=${base}/root" QELTA_HOST_ADDRESS=127.0.0.1 QT_QPA_PLATFORM=offscreen
  --unset=LD_LIBRARY_PATH)
run("the staged monitor" ${env} timeout --preserve-status -s TERM 2 "${stage}/usr/bin/resultmonitor")

# Taken away as a CMake install is: every listed path removed, the folders stay.
run("removing the listed paths" sh -c "sed \"s|^|$1|\" \"$0\" | xargs -d '\\n' rm -f --"
  "${BUILD_DIR}/install_manifest.txt" "${stage}")
file(GLOB_RECURSE left LIST_DIRECTORIES false "${stage}/*")
if(left)
  list(JOIN left "\n" left)
  message(FATAL_ERROR "removing every path install_manifest.txt lists left these files:\n${left}")
endif()

# Where the desktop reads the autostart entry for /usr/local (staged) and for a user's ~/.local.
file(MAKE_DIRECTORY "${base}/home")
install_to("${base}/stage-local" /usr/local)
install_to("" "${base}/home/.local" "HOME=${base}/home" --unset=XDG_CONFIG_HOME)
foreach(case "${base}/stage-local/etc/xdg/autostart|/usr/local/bin"
    "${base}/home/.config/autostart|${base}/home/.local/bin")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 folder)
  list(GET case 1 bin)
  file(READ "${folder}/qelta-resultmonitor.desktop" entry)
  if(NOT entry MATCHES "\nExec=\"${bin}/resultmonitor\"\n")
    message(FATAL_ERROR "the autostart entry in ${folder} does not start ${bin}/resultmonitor:\n${entry}")
  endif()
endforeach()
file(READ "${base}/stage-local/usr/local/var/lib/qelta/HKCR.reg" classes)
if(NOT classes MATCHES "@=\"/usr/local/${QELTA_LIBDIR}/libjobbuilder.so\"")
  message(FATAL_ERROR "the /usr/local install did not register its own servers:\n${classes}")
endif()
file(REMOVE_RECURSE "${base}")
