# Installs the build into a fresh prefix, whose install registers the component servers, and
# flushes one job to "FileOutput" with the installed libraries and registrations only.
#   cmake -DBUILD_DIR=<build> -DCHECK_PROGRAM=<install_check> -P install_test.cmake
set(base "${BUILD_DIR}/install-test")
set(prefix "${base}/prefix")
set(work "${base}/work")
file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${work}" "${base}/home")

include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/QeltaScriptRun.cmake")
include("${BUILD_DIR}/QeltaLayout.cmake")

run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
qelta_machine_folder(machine "${prefix}")
foreach(path bin/qelta-regsvr ${QELTA_LIBDIR}/libfaxplatform.so ${QELTA_LIBDIR}/libjobbuilder.so ${QELTA_LIBDIR}/libIK6FILE.so "${machine}")
  if(NOT EXISTS "${prefix}/${path}" AND NOT EXISTS "${path}")
    message(FATAL_ERROR "the installed tree lacks ${path}")
  endif()
endforeach()

# The check program runs from the installed bin/ and so loads the installed libraries.
file(COPY "${CHECK_PROGRAM}" DESTINATION "${prefix}/bin")
get_filename_component(check "${CHECK_PROGRAM}" NAME)
set(env "${CMAKE_COMMAND}" -E env --unset=QELTA_ROOT "HOME=${base}/home" "XDG_CONFIG_HOME=${base}/home/.config"
  "XDG_DATA_HOME=${base}/home/.local/share" "TMPDIR=${work}")
run("the installed job builder" ${env} "${prefix}/bin/${check}" "${prefix}" "${work}" "${prefix}/${QELTA_LIBDIR}" "${machine}")
file(REMOVE_RECURSE "${base}")
