# Helpers shared by every subsystem folder.

if(BUILD_TESTING)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# tessaran_library(NAME SOURCES...): the library target tessaran_NAME of one
# subsystem folder, whose headers are included as "NAME/header.h" from the top.
function(tessaran_library name)
  add_library(tessaran_${name} STATIC ${ARGN})
  target_include_directories(tessaran_${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# tessaran_tests(NAME SOURCES... LIBS libs...): one GoogleTest program per
# folder, registered test by test with CTest. Tests run in the program
# directory and find the shared test data through TESSARAN_TESTDATA.
function(tessaran_tests name)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  add_executable(${name}_tests ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name}_tests PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name}_tests PRIVATE
    TESSARAN_TESTDATA="${TESSARAN_TESTDATA_DIR}")
  gtest_discover_tests(${name}_tests
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "TESSARAN_CONFIG=${CMAKE_BINARY_DIR}/test-config")
endfunction()

# The shared sample files lie beside the repository.
set(TESSARAN_TESTDATA_DIR "${PROJECT_SOURCE_DIR}/../shared/testdata" CACHE PATH
    "Sample files made by other programs, with reference decodings")

# tessaran_windows_library(NAME LIBRARY HEADER FUNCTION): libNAME.so in the
# program directory, a program's windows (the static library LIBRARY) behind
# one export, RunWindows, which calls FUNCTION declared in HEADER. The program
# loads it only to open its windows, so that its batch mode starts without
# loading Qt. Like the picker it keeps its own copies of the static libraries
# it is built from, none of them exported.
function(tessaran_windows_library name library header function)
  add_library(${name} MODULE ${PROJECT_SOURCE_DIR}/ui/windows_entry.cpp)
  target_link_libraries(${name} PRIVATE ${library})
  target_compile_definitions(${name} PRIVATE TESSARAN_WINDOWS_HEADER="${header}" TESSARAN_RUN_WINDOWS=${function})
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL)
endfunction()
