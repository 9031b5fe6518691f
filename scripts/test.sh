#!/bin/sh
# Installs what is missing, builds everything, and runs every test: the whole
# suite in a debug build, then the engine and simulator tests again under
# AddressSanitizer with UBSan and under ThreadSanitizer.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh scripts/packages-build.txt scripts/packages-test.txt

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j2 --timeout 600)

for sanitizer in "address;undefined" thread; do
    dir=build-$(echo "$sanitizer" | cut -d';' -f1)
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_ENGINE_ONLY=ON \
        -DKORVANE_BENCHMARKS=OFF "-DKORVANE_SANITIZE=$sanitizer"
    cmake --build "$dir" -j"$jobs"
    (cd "$dir" && ASAN_OPTIONS=detect_leaks=1 TSAN_OPTIONS=halt_on_error=1 \
        ctest --output-on-failure -j2 --timeout 600)
done
