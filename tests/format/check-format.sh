#!/bin/sh
# Fails, naming the files, when any C++ file of the tree is not as
# clang-format (with the root's .clang-format) writes it.
#   sh tests/format/check-format.sh [SOURCE_DIR]
set -u
cd "${1:-$(dirname "$0")/../..}" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 2; }
files=$(git ls-files '*.cpp' '*.h' '*.cpp.in' 2>/dev/null) ||
    files=$(find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.cpp.in' \) -print)
# One run over every file; its complaints name file, line and column.
report=$(clang-format --dry-run --Werror $files 2>&1)
status=$?
bad=$(printf '%s\n' "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u)
if [ -n "$bad" ]; then
    echo "not formatted (run: clang-format -i FILE):"
    for file in $bad; do echo "  $file"; done
    exit 1
fi
if [ "$status" -ne 0 ]; then
    printf '%s\n' "$report"
    exit 1
fi
