# Installs the build into a fresh prefix and runs the installed result monitor there: the program,
# noticelib and the autostart entry naming the installed program are in place, and the monitor
# started from the prefix publishes its listener and clears it again when SIGTERM ends it.
#   cmake -DBUILD_DIR=<build> -P install_test.cmake
set(base "${BUILD_DIR}/install-test-resultmonitor")
set(prefix "${base}/prefix")
file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${base}/root")

include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/QeltaScriptRun.cmake")
include("${BUILD_DIR}/QeltaLayout.cmake")

run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
qelta_autostart_folder(autostart "${prefix}")
set(entry "${autostart}/qelta-resultmonitor.desktop")
foreach(path bin/resultmonitor ${QELTA_LIBDIR}/libnoticelib.so ${QELTA_LIBDIR}/libsendlog.so ${QELTA_DATADIR}/Sendwizard2.html "${entry}")
  if(NOT EXISTS "${prefix}/${path}" AND NOT EXISTS "${path}")
    message(FATAL_ERROR "the installed tree lacks ${path}")
  endif()
endforeach()
file(READ "${entry}" desktop)
if(NOT desktop MATCHES "\nExec=\"${prefix}/bin/resultmonitor\"\n" OR NOT desktop MATCHES "^\\[Desktop Entry\\]\nType=Application\n")
  message(FATAL_ERROR "the autostart entry does not start the installed monitor:\n${desktop}")
endif()

# Two seconds of the installed monitor, then SIGTERM: a clean end with exit code 0.
run("the installed monitor" "${CMAKE_COMMAND}" -E env "QELTA_ROOT=${base}/root" QELTA_HOST_ADDRESS=127.0.0.1
  QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM 2 "${prefix}/bin/resultmonitor")
file(READ "${base}/root/user/HKCU.reg" hive)
if(NOT hive MATCHES "\"FAXServerPort\"=\"\"\r?\n\"FAXIPAddress\"=\"\"\r?\n\"FAXRunning\"=dword:00000000")
  message(FATAL_ERROR "the monitor did not leave its values cleared:\n${hive}")
endif()
file(REMOVE_RECURSE "${base}")
