# qc_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>])
#
# One test binary is one ctest entry.  Binaries that need a server carry the
# label "integration", so `ctest -LE integration` runs the fast tier alone.
function(qc_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qc_test_main qc_testing ${ARG_LIBS} GTest::gmock GTest::gtest)
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    LABELS "${ARG_LABELS}"
    TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    ENVIRONMENT "QC_SHARED_DIR=${CMAKE_SOURCE_DIR}/../shared")
endfunction()
