#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What meterread reads of metersim for every machine type under a few faults, one line each:
# the JSON result without its times, the pseudo-terminal's number masked. Run it on two commits
# and compare the files: a change that keeps the behaviour prints the same lines.
#   bench/snapshot.sh [BINDIR]        (default: build/dev/bin, built first)
# Takes about a minute and a half: every reading runs at the meters' own pace.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-}
if [ -z "$bin" ]; then
    cmake --preset dev >/dev/null
    cmake --build --preset dev --target meterread metersim cpedfm cpedfm-host >/dev/null
    bin=build/dev/bin
fi
types=("pitneybows 950" "pitneybows spark" "高速机" "neopost" "5400(4表头)" "5400(5表头)" "copote")
faults=("" "--split 3 --gap 150" "--corrupt 5" "--noise 3" "--drop-after 1")
for type in "${types[@]}"; do
    for fault in "${faults[@]}"; do
        log=$(mktemp)
        # shellcheck disable=SC2086 # the fault options are words
        "$bin"/metersim --type "$type" $fault >"$log" 2>&1 &
        sim=$!
        for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.05; done
        pty=$(head -n 1 "$log")
        result=$(timeout 120 "$bin"/meterread --json --type "$type" --device "1=$pty" 2>/dev/null ||
            true)
        printf '%s [%s] %s\n' "$type" "$fault" "$(sed -E 's/"elapsed_ms":[0-9]+,//; s/"time":"[^"]*",//; s#/dev/pts/[0-9]+#PTY#g' <<<"$result")"
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
        rm -f "$log"
    done
done
