#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the captures of this folder again: every machine type read by meterread from metersim,
# once as a good meter and once under each fault metersim can inject, each reading kept with
# --capture as TYPE-FAULT.jsonl. Real time: the silent 5400s take a minute; the types run side by
# side.
#   tests/captures/make.sh [BINDIR]        (default build/dev/bin)
#   MAKE_ONLY='*-verified' tests/captures/make.sh   (only the captures whose name matches)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(realpath "${1:-$here/../../build/dev/bin}")
for program in metersim meterread; do
    [ -x "$bin/$program" ] || { echo "make.sh: no $bin/$program; build it first" >&2; exit 2; }
done

# File name, and the machine type as meterread and metersim take it.
types=(
    "pitney950|pitneybows 950"
    "spark|pitneybows spark"
    "highspeed|高速机"
    "neopost|neopost"
    "5400-4|5400(4表头)"
    "5400-5|5400(5表头)"
    "copote|copote"
)
# File name, metersim's options for the fault, and meterread's for the reading.
faults=(
    "good||"
    "silent|--silent|"
    "delay|--delay 700|"
    "split|--split 3 --gap 40|"
    "noise|--noise 4|"
    "twice|--twice|"
    "corrupt|--corrupt 3|"
    "drop|--drop-after 1|"
    "verified||--verify"
    "inuse|--in-use 100|--verify"
)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One reading of type $2 from a metersim with options $3, by meterread with options $4, kept as
# $1.
capture() {
    local out=$1 type=$2 options=$3 reading=$4 sim
    # shellcheck disable=SC2053 # a pattern
    [[ $out == ${MAKE_ONLY:-*} ]] || return 0
    # shellcheck disable=SC2086 # the options are words
    "$bin/metersim" --type "$type" $options >"$scratch/$out.path" 2>/dev/null &
    sim=$!
    for _ in $(seq 50); do
        [ -s "$scratch/$out.path" ] && break
        sleep 0.1
    done
    local device
    device=$(head -n 1 "$scratch/$out.path")
    # shellcheck disable=SC2086 # the options are words
    "$bin/meterread" --json --port 1 --type "$type" --device "1=$device" $reading \
        --capture "$here/$out.jsonl" >/dev/null 2>&1 || true
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    [ -s "$here/$out.jsonl" ] || { echo "make.sh: no capture $out.jsonl" >&2; return 1; }
}

pids=()
for t in "${types[@]}"; do
    (
        for f in "${faults[@]}"; do
            rest=${f#*|}
            capture "${t%%|*}-${f%%|*}" "${t#*|}" "${rest%%|*}" "${rest#*|}"
        done
    ) &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
echo "make.sh: $(find "$here" -name '*.jsonl' | wc -l) captures in tests/captures"
exit $status
