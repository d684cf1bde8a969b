# Installs the build into a fresh prefix and runs the installer stand-in on the installed setup
# libraries, which must load with the prefix's libraries only. No CUPS server answers: every
# export still returns as documented.
#   cmake -DBUILD_DIR=<build> -DSTANDIN=<installer_standin> -P install_test.cmake
set(base "${BUILD_DIR}/setup-install-test")
set(prefix "${base}/prefix")
set(work "${base}/work")
file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${work}/media" "${work}/root")

include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/QeltaScriptRun.cmake")
include("${BUILD_DIR}/QeltaLayout.cmake")

run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(path ${QELTA_LIBDIR}/libdriversetupnt.so ${QELTA_LIBDIR}/libsetuphelper.so ${QELTA_INCLUDEDIR}/qelta/driversetupnt.h
    ${QELTA_INCLUDEDIR}/qelta/setuphelper.h)
  if(NOT EXISTS "${prefix}/${path}")
    message(FATAL_ERROR "the installed tree lacks ${path}")
  endif()
endforeach()

run("the installer stand-in" "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
  "QELTA_ROOT=${work}/root" "CUPS_SERVER=127.0.0.1:9" "${STANDIN}" "${prefix}/${QELTA_LIBDIR}/libdriversetupnt.so"
  "${prefix}/${QELTA_LIBDIR}/libsetuphelper.so" "${work}/media" "${work}/results.txt")
file(READ "${work}/results.txt" results)
foreach(line "PrinterCheck=0 Qelta Fax" "IPD=0" "GetPort=0 " "USBCheck=0" "SDP=0" "SETUPHELPERr=0 " "MFE=1"
    "UninstInitialize=0" "UninstUnInitialize=0")
  string(FIND "${results}" "${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the stand-in's results lack \"${line}\":\n${results}")
  endif()
endforeach()
file(REMOVE_RECURSE "${base}")
