#!/bin/sh
# Installs what is missing, builds everything, and runs every test, as the
# workflows of CMakePresets.json: the whole suite in a debug build (build/);
# the code below the windows again under AddressSanitizer with UBSan and
# LeakSanitizer (build-address/), the code with threads of its own under
# ThreadSanitizer (build-thread/); then the fuzzers, each for a bounded time
# (build-fuzz/); and last the Windows programs, cross-built and tested under
# wine against the debug build's simulator (build-windows/).
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh scripts/packages-build.txt scripts/packages-test.txt

# Qt itself is not instrumented: AddressSanitizer still checks our side of it
# (Pictorix's loader, encoders and saving and the live picture run
# offscreen), while ThreadSanitizer, which cannot see Qt's own locks and
# threads, runs only the parts without Qt.
for workflow in debug address thread fuzz windows; do
    cmake --workflow --preset "$workflow"
done

# What each fuzzer did; a failing input is kept beside its summary.
cat build-fuzz/fuzz/*/summary.txt
