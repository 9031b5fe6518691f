#!/bin/sh
# Start-up of the Pictorix program to its window shown, on a running X
# display: time from the start of the process until its window is mapped.
# Usage: DISPLAY=:57 startup.sh <build>/bin/Pictorix FOLDER_WITH_Temp.bmp [RUNS]
set -eu
program=$1
folder=$2
runs=${3:-10}
cd "$folder"
i=0
while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    "$program" &
    pid=$!
    # Polled without --sync, which waits half a second between looks.
    until xdotool search --onlyvisible --pid "$pid" --name "ZLS 740" >/dev/null 2>&1; do :; done
    end=$(date +%s%N)
    echo "run $i: $(( (end - start) / 1000000 )) ms"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    i=$((i + 1))
done
