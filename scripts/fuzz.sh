#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the fuzzers of the fuzz build (cmake --preset fuzz && cmake --build --preset fuzz), each
# for a bounded time; any crash or sanitizer report fails the run.
#
#   scripts/fuzz.sh [SECONDS] [NAME...]
#
#   SECONDS  how long each fuzzer runs (default 20: the short run of ./test.sh and CI)
#   NAME     run only these fuzzers (e.g. fuzz_pitneyreplies); default: every fuzz_* built
#
# A long campaign is the same command with more time, e.g. `scripts/fuzz.sh 600` (ten minutes
# per fuzzer). The corpus of each fuzzer is kept in build/fuzz/corpus/NAME and grows from one
# campaign to the next; the seeds in fuzz/seeds/NAME are read but never written. At the end a
# table gives, per fuzzer, the inputs tried and the inputs per second, and the total. A crash
# leaves its input as build/fuzz/crash-* (or leak-*, timeout-*) and the log's tail on stderr;
# rerun it with build/fuzz/bin/NAME FILE.
#
# FUZZ_JOBS=N runs up to N fuzzers at once (default 1; the inputs per second are then shared).
# The fuzz_*replies fuzzers exercise the decoders alone and run fastest; their inputs are kept to
# 1024 bytes (a reply frame holds at most 101, a poll at most 255), so that a corpus grown over
# long campaigns does not slow them down. The others run whole readings on virtual time.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
jobs=${FUZZ_JOBS:-1}
case $seconds in
'' | *[!0-9]*)
    echo "usage: scripts/fuzz.sh [SECONDS] [NAME...]" >&2
    exit 2
    ;;
esac

shopt -s nullglob
fuzzers=()
if (($# > 0)); then
    for name in "$@"; do fuzzers+=("build/fuzz/bin/$name"); done
else
    fuzzers=(build/fuzz/bin/fuzz_*)
fi
if ((${#fuzzers[@]} == 0)); then
    echo "no fuzzers in build/fuzz/bin: cmake --preset fuzz && cmake --build --preset fuzz" >&2
    exit 1
fi

# Runs one fuzzer; its log is build/fuzz/NAME.log.
run() {
    local fuzzer=$1 name corpus limit=()
    name=$(basename "$fuzzer")
    [[ $name == *replies ]] && limit=(-max_len=1024)
    corpus=build/fuzz/corpus/$name
    [[ -x $fuzzer ]] || { echo "$fuzzer is not built" >&2; return 1; }
    mkdir -p "$corpus"
    echo "-- $name for ${seconds}s"
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build/fuzz/ \
        "${limit[@]}" "$corpus" fuzz/seeds/"$name" 2>build/fuzz/"$name".log ||
        { echo "!! $name failed" >&2; tail -n 60 build/fuzz/"$name".log >&2; return 1; }
}

failed=0
running=0
for fuzzer in "${fuzzers[@]}"; do
    if ((running >= jobs)); then
        wait -n || failed=1
        running=$((running - 1))
    fi
    run "$fuzzer" &
    running=$((running + 1))
done
while ((running > 0)); do
    wait -n || failed=1
    running=$((running - 1))
done

total=0
printf '%-22s %12s %12s\n' fuzzer inputs inputs/s
for fuzzer in "${fuzzers[@]}"; do
    name=$(basename "$fuzzer")
    log=build/fuzz/$name.log
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" 2>/dev/null | tail -n 1 || true)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" 2>/dev/null | tail -n 1 || true)
    printf '%-22s %12s %12s\n' "$name" "${runs:--}" "${rate:--}"
    total=$((total + ${runs:-0}))
done
printf '%-22s %12s\n' total "$total"
exit $failed
