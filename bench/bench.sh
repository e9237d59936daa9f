#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Reads each machine type from metersim over a pseudo-terminal with a release build of
# meterread and prints what a reading costs, against the protocol's own floor (the sum of its
# fixed poll sleeps for a prompt meter).
#   bench/bench.sh [RUNS]        (default 3 runs a type; the best and the worst are shown)
#   BENCH_BIN=build/dev/bin bench/bench.sh   (programs already built there; nothing is built)
# Targets: wall <= floor x 1.02 + 50 ms; CPU <= 2 % of wall (waiting must not spin). A verified
# reading (--verify: the same reading twice) is measured too, against twice the floor: wall <=
# 2 x floor x 1.02 + 100 ms.
# Not part of the test suite: timing depends on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
bin=${BENCH_BIN:-}
if [ -z "$bin" ]; then
    scripts/setup.sh
    cmake --preset release >/dev/null
    cmake --build --preset release >/dev/null
    bin=build/release/bin
fi

# machine type | floor in ms (empty: the protocol has no fixed floor)
rows=(
    "5400(4表头)|5000"
    "5400(5表头)|5000"
    "pitneybows 950|600"
    "pitneybows spark|600"
    "neopost|1600"
    "高速机|800"
    "copote|"
)

# printf pads by bytes; a Chinese character is three bytes but two columns wide.
padtype() { printf '%s%*s' "$1" $((18 - $(printf '%s' "$1" | wc -L))) ''; }

printf '%-18s %-8s %11s %9s %7s %9s %7s %10s  %s\n' type reading wall_ms floor_ms ratio cpu_ms cpu_% peak_kb verdict
for row in "${rows[@]}" "${rows[@]/%/|verify}"; do
    type=${row%%|*}
    floor=${row#*|}
    floor=${floor%%|*}
    verify=() reading=single slack=50
    if [[ $row == *"|verify" ]]; then
        verify=(--verify) reading=verified slack=100
        [ -n "$floor" ] && floor=$((2 * floor))
    fi
    simlog=$(mktemp)
    "$bin"/metersim >"$simlog" 2>&1 &
    sim=$!
    for _ in $(seq 50); do [ -s "$simlog" ] && break; sleep 0.05; done
    pty=$(head -n 1 "$simlog")
    worst_wall=0 best_wall=999999 cpu_max=0 rss_max=0
    for _ in $(seq "$runs"); do
        # A reading that gives no record still has its cost measured.
        line=$(METERREAD_BENCH=1 "$bin"/meterread --type "$type" --device "1=$pty" "${verify[@]}" 2>&1 >/dev/null | grep '^bench:' || true)
        if [ -z "$line" ]; then
            echo "$type: meterread gave no measurement" >&2
            continue
        fi
        wall=$(sed 's/.*wall_ms=\([0-9]*\).*/\1/' <<<"$line")
        cpu=$(sed 's/.*cpu_ms=\([0-9]*\).*/\1/' <<<"$line")
        rss=$(sed 's/.*maxrss_kb=\([0-9]*\).*/\1/' <<<"$line")
        [ "$wall" -gt "$worst_wall" ] && worst_wall=$wall
        [ "$wall" -lt "$best_wall" ] && best_wall=$wall
        [ "$cpu" -gt "$cpu_max" ] && cpu_max=$cpu
        [ "$rss" -gt "$rss_max" ] && rss_max=$rss
    done
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    rm -f "$simlog"
    cpupct=$(awk -v c="$cpu_max" -v w="$worst_wall" 'BEGIN { printf "%.2f", w ? 100 * c / w : 0 }')
    if [ -n "$floor" ]; then
        ratio=$(awk -v w="$worst_wall" -v f="$floor" 'BEGIN { printf "%.3f", w / f }')
        ok=$(awk -v w="$worst_wall" -v f="$floor" -v s="$slack" -v p="$cpupct" 'BEGIN { print (w <= f * 1.02 + s && p <= 2) ? "ok" : "MISSED" }')
    else
        # No fixed poll sleeps to measure against, and too short a reading for a CPU share.
        floor=- ratio=- ok=n/a
    fi
    printf '%s %-8s %11s %9s %7s %9s %7s %10s  %s\n' "$(padtype "$type")" "$reading" "$best_wall-$worst_wall" "$floor" "$ratio" "$cpu_max" "$cpupct" "$rss_max" "$ok"
done
