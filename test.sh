#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds and runs every test: the plain build, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of each fuzzer.
# FUZZ_SECONDS (default 20) sets the length of each fuzzer run; 0 skips them. The fuzzers run
# as many at once as there are processors (FUZZ_JOBS to choose).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

jobs=$(nproc)
for preset in dev asan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j "$jobs" --timeout 300
done

seconds=${FUZZ_SECONDS:-20}
if [ "$seconds" != 0 ]; then
    echo "== fuzz"
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz
    FUZZ_JOBS=${FUZZ_JOBS:-$jobs} scripts/fuzz.sh "$seconds"
fi
echo "== all tests passed"
