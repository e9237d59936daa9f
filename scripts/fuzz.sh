#!/usr/bin/env bash
# Runs every fuzzer of the fuzz build for a bounded time; any crash or sanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shopt -s nullglob
for fuzzer in build/fuzz/bin/fuzz_*; do
    name=$(basename "$fuzzer")
    corpus=build/fuzz/corpus/$name
    mkdir -p "$corpus"
    echo "-- $name for ${seconds}s"
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 "$corpus" fuzz/seeds/"$name" \
        2>build/fuzz/"$name".log || { tail -n 60 build/fuzz/"$name".log; exit 1; }
    grep -E '^#[0-9]+.*DONE' build/fuzz/"$name".log | tail -n 1 || true
done
