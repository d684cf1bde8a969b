# Installs the build as a distribution's package is made, staged for the prefix /usr
# (DESTDIR=<stage> cmake --install <build> --prefix /usr), and checks the Linux layout: programs in
# /usr/bin, the suite's libraries in their private folder, help pages and language modules in
# /usr/share/qelta, the result monitor's autostart entry in /etc/xdg/autostart naming
# /usr/bin/resultmonitor, the machine folder /var/lib/qelta, and nothing in /usr/etc, /usr/var or
# among the system's own libraries. Then the staged programs run from the stage: the component
# servers register with the staged qelta-regsvr, and the staged result monitor starts and stops.
#   cmake -DBUILD_DIR=<build> -P staged_install_test.cmake
set(base "${BUILD_DIR}/install-test-staged")
set(stage "${base}/stage")
file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${base}/root")
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/QeltaScriptRun.cmake")
include("${BUILD_DIR}/QeltaLayout.cmake")

run("cmake --install" ${CMAKE_COMMAND} -E env "DESTDIR=${stage}" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /usr)

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

# The staged programs find their libraries, and load the servers by name, from the stage.
set(env ${CMAKE_COMMAND} -E env "QELTA_ROOT=${base}/root" QELTA_HOST_ADDRESS=127.0.0.1 QT_QPA_PLATFORM=offscreen
  --unset=LD_LIBRARY_PATH)
run("the staged qelta-regsvr" ${env} "${stage}/usr/bin/qelta-regsvr" cryptotool.dll qeltamd5lib.dll
  resultreceiver.dll sendlog.dll jobbuilder.dll)
file(READ "${base}/root/machine/HKCR.reg" classes)
if(NOT classes MATCHES "${libs}/libjobbuilder.so")
  message(FATAL_ERROR "the staged servers were not registered from ${libs}:\n${classes}")
endif()
run("the staged monitor" ${env} timeout --preserve-status -s TERM 2 "${stage}/usr/bin/resultmonitor")
file(REMOVE_RECURSE "${base}")
