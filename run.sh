#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window on the built-in simulated meter.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
exec build/dev/bin/meterreader --demo "$@"
