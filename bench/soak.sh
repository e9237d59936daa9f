#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Readings with random faults on virtual time with a release build, as the soak test runs them:
# every reading must keep its promises, and the resident memory of the process must stay flat
# between the 1,000th reading and the last (at most 1 MiB more).
#   bench/soak.sh [READINGS [SEED]]     (default 10000 readings, the test's seed)
# Not part of the test suite: memory figures depend on the machine and the allocator. (Under
# AddressSanitizer memory grows by its quarantine of freed blocks; leaks are the test's matter.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target bench_soak >/dev/null
build/release/bin/bench_soak "$@"
