# korvane_fuzzer(<name> SOURCES <files> LINK <targets> CORPUS <folder>
#                SECONDS <n> [OPTIONS <libFuzzer options>])
# A libFuzzer program, and a test (label fuzz) that runs it for <n> seconds
# over a copy of CORPUS, so that what it finds never lands in the source
# tree. Its log, a one-line summary and any input that made it fail are kept
# in <build>/fuzz/<name>/, the latter ready to become a regression seed.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KORVANE_FUZZ needs clang: CC=clang CXX=clang++ cmake -DKORVANE_FUZZ=ON ...")
endif()

# Builds every fuzzer and nothing else: cmake --build <dir> --target korvane_fuzzers
add_custom_target(korvane_fuzzers)

function(korvane_fuzzer name)
    cmake_parse_arguments(PARSE_ARGV 1 fuzz "" "CORPUS;SECONDS" "SOURCES;LINK;OPTIONS")
    add_executable(${name} ${fuzz_SOURCES})
    target_link_libraries(${name} PRIVATE ${fuzz_LINK})
    korvane_target(${name})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(korvane_fuzzers ${name})
    add_test(NAME ${name}
        COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/run-fuzzer.sh $<TARGET_FILE:${name}> ${fuzz_CORPUS}
            ${PROJECT_BINARY_DIR}/fuzz/${name} ${fuzz_SECONDS} ${fuzz_OPTIONS})
    # Room for starting up and for a slow shared machine; the run itself
    # ends after the given time.
    math(EXPR limit "${fuzz_SECONDS} * 2 + 60")
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${limit})
endfunction()
