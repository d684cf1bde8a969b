# Resource modules: a program's texts, icons, bitmaps, sounds and cursors for one language.
#
# qelta_resource_module(target MODULE code LANG lng STRINGS file [TEST]
#                       [ICONS id=file ...] [BITMAPS id=file ...] [SOUNDS id=file ...] [CURSORS id=file ...])
#
# STRINGS names a text file of "id text" lines (see common/tools/rescomp.cpp). LANG ENU makes the
# program's own tables: link `target` into the program (or a library of it) and its texts are
# there at start. Any other language makes the module "res<code><lng>.so" in "resources" of the
# suite's data folder (share/qelta/resources in the build and the installation), which CSDLocale
# loads for the locale.
# TEST makes a module for a test only: it stays in its own build folder and is never installed.
function(qelta_resource_module target)
  cmake_parse_arguments(R "TEST" "MODULE;LANG;STRINGS" "ICONS;BITMAPS;SOUNDS;CURSORS" ${ARGN})
  if(NOT R_MODULE OR NOT R_LANG OR NOT R_STRINGS)
    message(FATAL_ERROR "qelta_resource_module(${target}): MODULE, LANG and STRINGS are required")
  endif()
  get_filename_component(strings ${R_STRINGS} ABSOLUTE)
  set(blob_args)
  set(blob_files)
  foreach(kind ICONS BITMAPS SOUNDS CURSORS)
    string(TOLOWER ${kind} word)
    string(REGEX REPLACE "s$" "" word ${word})
    foreach(entry IN LISTS R_${kind})
      string(REPLACE "=" ";" pair ${entry})
      list(GET pair 0 id)
      list(GET pair 1 file)
      get_filename_component(file ${file} ABSOLUTE)
      list(APPEND blob_args ${word} ${id} ${file})
      list(APPEND blob_files ${file})
    endforeach()
  endforeach()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp)
  add_custom_command(OUTPUT ${source}
    COMMAND qelta-rescomp ${source} ${R_MODULE} ${R_LANG} ${strings} ${blob_args}
    DEPENDS qelta-rescomp ${strings} ${blob_files}
    COMMENT "Resource module ${R_MODULE} ${R_LANG}"
    VERBATIM)
  if(R_LANG STREQUAL "ENU")
    # The objects go onto every final link line of a consumer, so that the tables register
    # themselves even when linked through a static library.
    add_library(${target}_objects OBJECT ${source})
    target_include_directories(${target}_objects PRIVATE ${PROJECT_SOURCE_DIR})
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE $<TARGET_OBJECTS:${target}_objects> qeltalocale)
    add_dependencies(${target} ${target}_objects)
  else()
    add_library(${target} MODULE ${source})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME res${R_MODULE}${R_LANG}
      CXX_VISIBILITY_PRESET hidden)
    if(R_TEST)
      set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/resources)
    else()
      set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${QELTA_DATA_OUTPUT_DIRECTORY}/resources)
      install(TARGETS ${target} LIBRARY DESTINATION ${QELTA_INSTALL_DATADIR}/resources)
    endif()
  endif()
endfunction()
