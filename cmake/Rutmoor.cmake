# Helpers that give every subsystem the same shape:
#   src/<name>/*.cpp        -> static library rm_<name>
#   src/<name>/*_test.cpp   -> test executable <name>_tests (GoogleTest, run by ctest)
#   src/<name>/*_fuzz.cpp   -> one libFuzzer executable each (only with RUTMOOR_FUZZ)
#   src/<name>/*_bench.cpp  -> left to bench/

set(RUTMOOR_WARNINGS -Wall -Wextra -Wshadow -Wformat=2 -Wundef -Wno-unused-parameter
    -Wno-missing-field-initializers)

function(rutmoor_warnings target)
  target_compile_options(${target} PRIVATE ${RUTMOOR_WARNINGS})
endfunction()

# rutmoor_library(NAME SOURCES a.cpp b.cpp DEPS rm_x ...) for a library made of listed files;
# rutmoor_subsystem(NAME DEPS ...) globs every non-test source of src/<NAME>/.
function(rutmoor_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  set(present)
  foreach(f ${ARG_SOURCES})
    if(IS_ABSOLUTE ${f})
      set(full ${f})
    else()
      set(full ${CMAKE_CURRENT_SOURCE_DIR}/${f})
    endif()
    if(EXISTS ${full})
      list(APPEND present ${full})
    endif()
  endforeach()
  if(NOT present)
    # A subsystem whose sources are still to come links as its dependencies alone.
    add_library(rm_${name} INTERFACE)
    target_include_directories(rm_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(rm_${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(rm_${name} STATIC ${present})
  target_include_directories(rm_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(rm_${name} PUBLIC ${ARG_DEPS})
  rutmoor_warnings(rm_${name})
endfunction()

function(rutmoor_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(keep)
  foreach(f ${all})
    if(NOT f MATCHES "_(test|fuzz|bench)\\.cpp$")
      list(APPEND keep ${f})
    endif()
  endforeach()
  set(${out} ${keep} PARENT_SCOPE)
endfunction()

function(rutmoor_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  rutmoor_sources(srcs ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(x ${ARG_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${x})
  endforeach()
  rutmoor_library(${name} SOURCES ${srcs} DEPS ${ARG_DEPS})
endfunction()

# Tests of one directory: every *_test.cpp, linked with the given libraries.
function(rutmoor_tests name)
  if(NOT RUTMOOR_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT tests)
    return()
  endif()
  add_executable(${name}_tests ${tests})
  target_link_libraries(${name}_tests PRIVATE ${ARG_DEPS} rm_testsupport GTest::gtest_main)
  rutmoor_warnings(${name}_tests)
  gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
                       PROPERTIES ENVIRONMENT "RUTMOOR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# Fuzz targets of one directory: every *_fuzz.cpp becomes <file>_fuzz and a ctest entry
# "fuzz.<file>" that runs it briefly over its committed corpus (fuzz/corpus/<file>/).
function(rutmoor_fuzzers)
  if(NOT RUTMOOR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_fuzz.cpp)
  foreach(f ${fuzzers})
    get_filename_component(stem ${f} NAME_WE)
    add_executable(${stem} ${f})
    target_link_libraries(${stem} PRIVATE ${ARG_DEPS})
    target_link_options(${stem} PRIVATE -fsanitize=fuzzer)
    target_compile_options(${stem} PRIVATE -fsanitize=fuzzer)
    set(corpus ${PROJECT_SOURCE_DIR}/fuzz/corpus/${stem})
    set(work ${CMAKE_BINARY_DIR}/fuzz-work/${stem})
    add_test(NAME fuzz.${stem}
             COMMAND ${CMAKE_COMMAND} -E env ${CMAKE_COMMAND}
                     -DFUZZER=$<TARGET_FILE:${stem}> -DCORPUS=${corpus} -DWORK=${work}
                     -DSECONDS=$ENV{RUTMOOR_FUZZ_SECONDS}
                     -P ${PROJECT_SOURCE_DIR}/cmake/RunFuzzer.cmake)
    set_tests_properties(fuzz.${stem} PROPERTIES LABELS fuzz)
  endforeach()
endfunction()
