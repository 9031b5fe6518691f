#!/bin/sh
# Installs what is missing, builds everything, and runs every test: the whole
# suite in a debug build; then the tests of the code below the windows again
# under AddressSanitizer with UBSan and LeakSanitizer, and those of the code
# with threads under ThreadSanitizer; then the fuzzers, each for a bounded time.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh scripts/packages-build.txt scripts/packages-test.txt

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j2 --timeout 600)

# Qt itself is not instrumented. AddressSanitizer still checks our side of
# it: Pictorix's loader, encoders and saving and the live picture run
# offscreen next to the engine, the simulator and korvane-grab.
# ThreadSanitizer cannot see Qt's own locks and threads (it reports them as
# races), so it runs the parts without Qt, the ones with threads of their own.
for sanitizer in "address;undefined" thread; do
    dir=build-$(echo "$sanitizer" | cut -d';' -f1)
    if [ "$sanitizer" = thread ]; then
        parts="-DKORVANE_ENGINE_ONLY=ON"
    else
        parts="-DKORVANE_ENGINE_ONLY=OFF -DKORVANE_CORE_ONLY=ON"
    fi
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug $parts \
        -DKORVANE_BENCHMARKS=OFF "-DKORVANE_SANITIZE=$sanitizer"
    cmake --build "$dir" -j"$jobs"
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 TSAN_OPTIONS=halt_on_error=1 \
        ctest --output-on-failure -j2 --timeout 600)
done

# The fuzzers (clang and libFuzzer, with AddressSanitizer and UBSan), each
# for a bounded time over a copy of its corpus; what each run did is in
# build-fuzz/fuzz/<fuzzer>/summary.txt, a failing input beside it.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVANE_FUZZ=ON \
    -DKORVANE_ENGINE_ONLY=OFF -DKORVANE_CORE_ONLY=ON -DKORVANE_BENCHMARKS=OFF \
    "-DKORVANE_SANITIZE=address;undefined"
cmake --build build-fuzz -j"$jobs" --target korvane_fuzzers
(cd build-fuzz && ctest --output-on-failure -j2 -L fuzz)
cat build-fuzz/fuzz/*/summary.txt
