include(GoogleTest)

# brindle_add_test(<name> LABEL <folder> SOURCES ... [LIBS ...])
# One GoogleTest executable; every test in it carries the folder's label, so `ctest -L engine`
# runs the engine's suites. The shared test main isolates HOME and XDG_* in a temporary folder.
function(brindle_add_test name)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE brindle_testsupport ${T_LIBS} GTest::gtest)
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS ${T_LABEL} TIMEOUT 300
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()
