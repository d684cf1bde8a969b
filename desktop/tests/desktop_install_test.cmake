# Installs the build into a fresh prefix and checks the desktop's side of it: every desktop entry
# passes desktop-file-validate, names an installed program and icon, and after the desktop's caches
# are made there each of the suite's file types is known by its name pattern and opens with its
# program (xdg-mime, reading only the prefix's data).
#   cmake -DBUILD_DIR=<build> -P desktop_install_test.cmake
set(base "${BUILD_DIR}/install-test-desktop")
set(prefix "${base}/prefix")
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/QeltaScriptRun.cmake")

foreach(tool desktop-file-validate update-mime-database update-desktop-database xdg-mime)
  find_program(path_${tool} ${tool})
  if(NOT path_${tool})
    if(DEFINED ENV{CI})
      message(FATAL_ERROR "${tool} is missing (Debian: desktop-file-utils, shared-mime-info, xdg-utils)")
    endif()
    message(STATUS "SKIPPED: ${tool} is missing (Debian: desktop-file-utils, shared-mime-info, xdg-utils)")
    return()
  endif()
endforeach()

file(REMOVE_RECURSE "${base}")
file(MAKE_DIRECTORY "${base}/home" "${base}/config")
# Staged (DESTDIR), so that the install makes no caches and the checks below make their own.
run("cmake --install" ${CMAKE_COMMAND} -E env "DESTDIR=${base}/stage" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
file(RENAME "${base}/stage${prefix}" "${prefix}")
set(apps "${prefix}/share/applications")
set(entries qelta-bookmanager qelta-covereditor qelta-pageviewer qelta-envsetup)
foreach(name IN LISTS entries)
  run("desktop-file-validate ${name}" "${path_desktop-file-validate}" "${apps}/${name}.desktop")
  if(output MATCHES "error|warning")
    message(FATAL_ERROR "${name}.desktop:\n${output}")
  endif()
  file(READ "${apps}/${name}.desktop" text)
  string(REGEX REPLACE "^qelta-" "" program "${name}")
  if(NOT text MATCHES "\nExec=\"${prefix}/bin/${program}\"( %f)?\n" OR NOT EXISTS "${prefix}/bin/${program}")
    message(FATAL_ERROR "${name}.desktop does not start the installed ${program}:\n${text}")
  endif()
  if(NOT text MATCHES "\nIcon=${name}\n")
    message(FATAL_ERROR "${name}.desktop names another icon:\n${text}")
  endif()
  # Docks tie the program's windows (its class is the program's name) to the entry.
  if(NOT text MATCHES "\nStartupWMClass=${program}\n")
    message(FATAL_ERROR "${name}.desktop does not name the window class ${program}:\n${text}")
  endif()
  foreach(size 48 128 256)
    if(NOT EXISTS "${prefix}/share/icons/hicolor/${size}x${size}/apps/${name}.png")
      message(FATAL_ERROR "no ${size}x${size} icon ${name}.png in the hicolor theme")
    endif()
  endforeach()
endforeach()
file(READ "${apps}/qelta-covereditor.desktop" text)
if(text MATCHES "Actions=|[Pp]rint")
  message(FATAL_ERROR "the cover sheet editor's entry has a print action:\n${text}")
endif()

run("update-mime-database" "${path_update-mime-database}" "${prefix}/share/mime")
run("update-desktop-database" "${path_update-desktop-database}" "${apps}")
file(READ "${prefix}/share/mime/globs2" globs)
set(env ${CMAKE_COMMAND} -E env "XDG_DATA_DIRS=${prefix}/share" "XDG_DATA_HOME=${base}/home"
  "XDG_CONFIG_HOME=${base}/config" "XDG_CONFIG_DIRS=${base}/config" XDG_CURRENT_DESKTOP= DESKTOP_SESSION=
  KDE_FULL_SESSION= GNOME_DESKTOP_SESSION_ID=)
# pattern | type | program
set(cases
  "*.tqc" application/x-qelta-cover covereditor
  "*.tqd" application/x-qelta-document pageviewer
  "*.tqg" application/x-qelta-document pageviewer
  "*.fax" application/x-qelta-fax pageviewer
  "*.lnk" application/x-qelta-link pageviewer
  "*.tqs" application/x-qelta-link pageviewer
  "*.tif" image/tiff pageviewer
  "*.bmp" image/bmp pageviewer
  "*.pcx" image/vnd.zbrush.pcx pageviewer)
while(cases)
  list(POP_FRONT cases pattern type program)
  string(REPLACE "*" "\\*" escaped "${pattern}")
  string(REPLACE "." "\\." escaped "${escaped}")
  if(type MATCHES "^application/x-qelta" AND NOT globs MATCHES "\n[0-9]+:${type}:${escaped}\n")
    message(FATAL_ERROR "the mime cache does not know ${pattern} as ${type}:\n${globs}")
  endif()
  run("xdg-mime query default ${type}" ${env} "${path_xdg-mime}" query default ${type})
  string(STRIP "${output}" app)
  if(NOT app STREQUAL "qelta-${program}.desktop")
    message(FATAL_ERROR "${type} (${pattern}) opens with '${app}', not qelta-${program}.desktop")
  endif()
endwhile()
file(REMOVE_RECURSE "${base}")
