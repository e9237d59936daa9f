#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the window on the built-in simulated meter.
set -euo pipefail
cd "$(dirname "$0")"
if [ "$(uname -s)" != Darwin ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] &&
   [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'TEXT'
run.sh opens a window, but there is no display here (DISPLAY and WAYLAND_DISPLAY are not set,
as over SSH). Run it on the desktop, or read the simulated meter from the command line:
    cmake --preset dev && cmake --build --preset dev && build/dev/bin/meterread --demo
TEXT
    exit 1
fi
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
exec build/dev/bin/meterreader --demo "$@"
