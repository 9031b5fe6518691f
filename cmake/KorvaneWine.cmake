# The Windows build's tests run under wine, in a prefix of the build tree
# (wine/prefix, made on first use) with HOME beside it (wine/home): nothing
# is written to the user's home. The test wine_start (fixture "wine")
# starts one wineserver and the prefix's services with nothing of the tests
# attached; wine_stop ends them after the last test. Each Windows test
# requires the fixture: korvane_wine_test() below.
#
# GoogleTest is built for Windows from the sources Debian ships.

find_program(KORVANE_WINE wine REQUIRED)
find_program(KORVANE_WINESERVER wineserver REQUIRED)
find_program(KORVANE_PYTHON python3 REQUIRED)
# zls740-sim built for this machine (the debug build's), the instrument of
# the Windows programs through COM ports mapped to its pseudo-terminals.
korvane_host_program(KORVANE_HOST_SIMULATOR zls740-sim "the Windows tests with an instrument fail")

# Every Windows program runs with one X server, the fixture "xvfb" (its
# display number in xvfb/display): the window tests (label gui) look at it,
# and the wine fixture needs it first (see wine-env.sh.in).
set(KORVANE_XVFB_DIR ${CMAKE_BINARY_DIR}/xvfb)
add_test(NAME xvfb_start COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/xvfb-fixture.sh start ${KORVANE_XVFB_DIR})
add_test(NAME xvfb_stop COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/xvfb-fixture.sh stop ${KORVANE_XVFB_DIR})
set_tests_properties(xvfb_start PROPERTIES FIXTURES_SETUP xvfb LABELS windows TIMEOUT 60)
set_tests_properties(xvfb_stop PROPERTIES FIXTURES_CLEANUP xvfb LABELS windows TIMEOUT 60)

set(KORVANE_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-env.sh.in ${KORVANE_WINE_DIR}/env.sh @ONLY)
# What runs a Windows program of the build: ctest, korvane_wine_test() below.
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${KORVANE_WINE_DIR}/env.sh)

add_test(NAME wine_start COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine-fixture.sh start ${KORVANE_WINE_DIR}/env.sh)
add_test(NAME wine_stop COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine-fixture.sh stop ${KORVANE_WINE_DIR}/env.sh)
# A new prefix takes tens of seconds on a busy machine.
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine FIXTURES_REQUIRED xvfb LABELS windows TIMEOUT 300)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine FIXTURES_REQUIRED xvfb LABELS windows TIMEOUT 60)

# korvane_wine_test(<name> LABELS <labels> [INSTRUMENTS] COMMAND <program> <arguments...>)
# A test of a Windows program (a target, or a path) under wine. With
# INSTRUMENTS it runs under tests/wine/instruments.py, which starts simulated
# instruments on COM ports when the program asks for them (see there).
function(korvane_wine_test name)
    cmake_parse_arguments(PARSE_ARGV 1 wine "INSTRUMENTS" "" "LABELS;COMMAND")
    list(POP_FRONT wine_COMMAND program)
    if(TARGET ${program})
        set(program $<TARGET_FILE:${program}>)
    endif()
    set(command ${CMAKE_CROSSCOMPILING_EMULATOR} ${program} ${wine_COMMAND})
    if(wine_INSTRUMENTS)
        set(command ${KORVANE_PYTHON} ${PROJECT_SOURCE_DIR}/tests/wine/instruments.py
            --simulator ${KORVANE_HOST_SIMULATOR} --wine-env ${KORVANE_WINE_DIR}/env.sh
            --scratch ${CMAKE_CURRENT_BINARY_DIR}/instruments-${name} -- ${command})
    endif()
    add_test(NAME ${name} COMMAND ${command})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "windows;${wine_LABELS}" TIMEOUT 300)
endfunction()

# korvane_wine_gtest(<target> LABELS <labels> [INSTRUMENTS] SUITES <suite...>)
# One test per GoogleTest suite of <target>, named <target>.<suite>.
function(korvane_wine_gtest target)
    cmake_parse_arguments(PARSE_ARGV 1 wine "INSTRUMENTS" "" "LABELS;SUITES")
    set(instruments "")
    if(wine_INSTRUMENTS)
        set(instruments INSTRUMENTS)
    endif()
    foreach(suite IN LISTS wine_SUITES)
        korvane_wine_test(${target}.${suite} LABELS ${wine_LABELS} ${instruments}
            COMMAND ${target} --gtest_filter=${suite}.*)
    endforeach()
endfunction()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# It names its targets GTest::gtest and GTest::gtest_main itself.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
