#!/bin/sh
# Runs every benchmark program of a build folder and prints one table of ratios.
set -e
BUILD=${1:-build}
first=1
for program in "$BUILD"/bench/*_bench; do
    [ -x "$program" ] || continue
    if [ $first -eq 1 ]; then
        QT_QPA_PLATFORM=offscreen "$program" --benchmark_min_time=0.2
        first=0
    else
        QT_QPA_PLATFORM=offscreen "$program" --benchmark_min_time=0.2 --no-header
    fi
done
