#!/bin/sh
# Runs one fuzzer for a bounded time over a copy of its corpus, so that the
# inputs it finds never land in the source tree. OUT keeps its log, a
# summary (runs, runs a second, corpus size, and the fuzzer's own lines that
# begin with "summary:") and any input that made it fail, ready to become a
# regression seed.
# Usage: run-fuzzer.sh FUZZER CORPUS OUT SECONDS [libFuzzer options...]
set -eu
fuzzer=$1 corpus=$2 out=$3 seconds=$4
shift 4
work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
mkdir -p "$out"
cp -R "$corpus" "$work/corpus"
seeds=$(ls "$work/corpus" | wc -l)

# The fuzzers' own scratch folders go under $work too: libFuzzer ends a timed
# run without running static destructors, which would leave them in /tmp.
mkdir "$work/tmp"
status=0
TMPDIR="$work/tmp" "$fuzzer" "$work/corpus" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$out/" "$@" >"$out/log.txt" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/log.txt")
speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$out/log.txt")
echo "$(basename "$fuzzer"): ${runs:-?} runs in $seconds s, ${speed:-?} a second;" \
    "corpus $seeds -> $(ls "$work/corpus" | wc -l) inputs" >"$out/summary.txt"
sed -n 's/^summary: /    /p' "$out/log.txt" >>"$out/summary.txt"
cat "$out/summary.txt"
if [ "$status" -ne 0 ]; then
    tail -n 80 "$out/log.txt"
    echo "failed with $status; the input is in $out/"
    exit "$status"
fi
