#!/usr/bin/env bash
# A picture of the window after a reading of the built-in simulated meter.
#   scripts/screenshot.sh [OUT.png] [MACHINE TYPE TEXT]     (defaults: window.png, copote)
# Under Xvfb when it is installed (a real X window), otherwise on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-window.png}")
type=${2:-copote}
cmake --preset dev >/dev/null
cmake --build --preset dev --target test_window meterreader >/dev/null
export METERREADER_SCREENSHOT="$out" METERREADER_SCREENSHOT_TYPE="$type"
if command -v xvfb-run >/dev/null 2>&1; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" build/dev/bin/test_window screenshot >/dev/null
else
    QT_QPA_PLATFORM=offscreen build/dev/bin/test_window screenshot >/dev/null
fi
echo "$out"
