#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A picture of the window on the built-in simulated meter.
#   scripts/screenshot.sh [OUT.png] [STATE] [MACHINE TYPE TEXT]
#   scripts/screenshot.sh [OUT.png] [MACHINE TYPE TEXT]            (the state "done")
# STATE: done (after a reading; the default), reading (a 5400 reading under way), failed (a port
# whose USB adapter is not plugged in), device (the dialog that puts a device behind a port),
# report (the first page of the reading's PDF report, rendered with poppler's pdftoppm).
# journal (the journal's table on a day's readings), large (after a reading, enlarged).
# The machine type defaults to copote, 5400(4表头) and
# neopost respectively.
# LANG_OF_WINDOW=en (environment) shows the window in English.
# Under Xvfb when it is installed (a real X window), otherwise on Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-window.png}")
state=${2:-done}
type=${3:-}
case "$state" in
    done | reading | failed | device | journal | large | report) ;;
    *) type=$state state=done ;;
esac
cmake --preset dev >/dev/null
cmake --build --preset dev --target test_app meterreader >/dev/null
shot=$out
[ "$state" = report ] && shot=${out%.png}.pdf
export METERREADER_SCREENSHOT="$shot" METERREADER_SCREENSHOT_STATE="$state" \
    METERREADER_SCREENSHOT_TYPE="$type" METERREADER_SCREENSHOT_LANG="${LANG_OF_WINDOW:-zh}"
if command -v xvfb-run >/dev/null 2>&1; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" build/dev/bin/test_app screenshot >/dev/null
else
    QT_QPA_PLATFORM=offscreen build/dev/bin/test_app screenshot >/dev/null
fi
if [ "$state" = report ]; then
    pdftoppm -png -r 70 -f 1 -singlefile "$shot" "${out%.png}"
    rm -f "$shot"
fi
echo "$out"
