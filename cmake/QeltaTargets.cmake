# Shared build settings for every target of the suite.

if(QELTA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(QELTA_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "Fuzz targets need clang (configure with the 'fuzz' preset)")
  endif()
  # Every sanitizer report stops the run, so a finding is never printed and passed over.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Our own code builds with every warning; the project's presets and its check make them errors
# (CMAKE_COMPILE_WARNING_AS_ERROR), a distribution's build with its own flags does not.
function(qelta_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-error=deprecated-declarations)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports false -Wrestrict overlaps inside std::string concatenation at -O3.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# qelta_library(name [SHARED|STATIC] SOURCES ...) - a library of the suite.
function(qelta_library name kind)
  add_library(${name} ${kind} ${ARGN})
  qelta_warnings(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# qelta_install(target ...) - installs programs into bin/ and libraries and component servers into
# the suite's private library folder (lib/qelta), the layout the platform layer expects.
function(qelta_install)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} LIBRARY DESTINATION ${QELTA_INSTALL_LIBDIR})
endfunction()

# qelta_data(file ...) - a file of the suite's data folder (help pages): copied into the build
# tree's share/qelta and installed into share/qelta, where the programs look for it.
function(qelta_data)
  foreach(file IN LISTS ARGN)
    get_filename_component(name ${file} NAME)
    configure_file(${file} ${QELTA_DATA_OUTPUT_DIRECTORY}/${name} COPYONLY)
  endforeach()
  install(FILES ${ARGN} DESTINATION ${QELTA_INSTALL_DATADIR})
endfunction()

# qelta_test(name SOURCES ... LIBS ... [TIMEOUT seconds]) - one GoogleTest program per unit,
# registered with CTest; each test may run 300 s unless TIMEOUT says otherwise.
function(qelta_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  qelta_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qelta_testsupport GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${T_TIMEOUT})
endfunction()

# qelta_converter_module(name SOURCES ...) - a converter module of the phone book editor: a shared
# library loaded by its full path, built against phonebook/editor/converter.h.
function(qelta_converter_module name)
  cmake_parse_arguments(C "" "" "SOURCES" ${ARGN})
  add_library(${name} MODULE ${C_SOURCES})
  qelta_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)
  target_link_libraries(${name} PRIVATE faxplatform)
endfunction()
