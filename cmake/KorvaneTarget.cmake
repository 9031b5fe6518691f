# korvane_target(<target>): the house warnings, -Werror in Debug builds, the
# sanitizers chosen with KORVANE_SANITIZE, and with KORVANE_FUZZ the coverage
# the fuzzers steer by.
function(korvane_target target)
    # Not for the resource compiler of Windows programs, which takes none.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -pedantic
        $<$<CONFIG:Debug>:-Werror>>)
    if(KORVANE_SANITIZE)
        list(JOIN KORVANE_SANITIZE "," sanitizers)
        target_compile_options(${target} PRIVATE -fsanitize=${sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
        target_link_options(${target} PRIVATE -fsanitize=${sanitizers})
    endif()
    if(KORVANE_FUZZ)
        # Coverage that guides the fuzzers, in everything they link.
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
endfunction()

# korvane_host_program(<variable> <program> <need>): the cache variable that
# names <program> built for this machine (the debug build's) for a cross
# build, with a warning when it is not there yet; <need> says what fails
# without it.
function(korvane_host_program variable program need)
    set(${variable} "" CACHE FILEPATH "${program} built for this machine")
    if(NOT EXISTS "${${variable}}")
        message(WARNING "No ${program} at '${${variable}}' (${variable}): ${need} until the debug build has made it")
    endif()
endfunction()
