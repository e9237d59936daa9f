#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds meterreader for Windows (64-bit and 32-bit, MinGW-w64) and tests it under Wine on
# this Linux machine:
#   - Qt for Windows, built once per machine from Debian's source (scripts/build-qt-windows.sh);
#   - the unit tests of both builds, the window's own tests among them;
#   - the Win32 serial device against pseudo-terminals of this machine standing behind COM1 and
#     COM12 (settings applied, bytes both ways, ports above 9, missing ports, stale bytes, the
#     ports the window lists);
#   - the 64-bit meterread.exe end to end, reading the Linux metersim through COM1 for every
#     serial machine type, and copote through the 32-bit vendor helper and the 32-bit stand-in
#     cpedfm.dll, as they sit side by side in the installed folder;
#   - the window, meterreader.exe, on Xvfb, driven from the keyboard for every machine type
#     (tests/wine/window.sh).
# Installs the cross compilers, Wine and Xvfb when they are missing (not part of ./test.sh, so
# that a newcomer on Linux does not get Wine). Uses a private Wine prefix under build/ and
# leaves nothing running.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# What it needs, installed only when missing.
packages=(cmake ninja-build g++ libgtest-dev jq python3
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386
          xvfb xdotool imagemagick fonts-wqy-microhei)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Every Windows program below runs through scripts/wine.sh, also where a script says "wine".
mkdir -p build/winebin
printf '#!/bin/sh\nexec "%s/scripts/wine.sh" "$@"\n' "$root" >build/winebin/wine
chmod +x build/winebin/wine
export PATH=$root/build/winebin:$PATH

# Qt for Windows, built once per machine into a cache outside the clone.
echo "== qt for windows"
METERREADER_QT_WINDOWS=$(scripts/build-qt-windows.sh | tail -n 1)
export METERREADER_QT_WINDOWS

# Both Windows builds (the 32-bit one first: its vendor helper and library go beside the 64-bit
# window), and the Linux end of the serial lines.
for preset in windows-x86 windows-x64; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
echo "== build serialpeer, metersim and meterread (Linux)"
[ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target serialpeer metersim meterread

# What a technician copies to a Windows machine, as the installation lays it out: the 64-bit
# window and reader with Qt's runtime, the 32-bit vendor helper and the 32-bit library beside
# them (a vendor DLL for a Visual Basic caller is 32-bit).
dist=$root/build/windows-portable
rm -rf "$dist"
cmake --install build/windows-x64 --prefix "$dist" >/dev/null

# A private Wine prefix, and COM1 and COM12 mapped to fixed paths that serialpeer links to its
# pseudo-terminals (dosdevices links alone are rewritten by Wine when it starts).
export WINEPREFIX=$root/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
lines=$root/build/winelines
mkdir -p "$lines"
cleanup() {
    stopsim 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -f "$lines/com1" "$lines/com12"
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== wine prefix $WINEPREFIX"
    scripts/wine.sh wineboot -i >/dev/null 2>&1
fi
# Windows' dialog font stands for the system's UI font; without a substitute Wine shows Latin
# text in a serif face. The window's Chinese texts need a CJK font in any case.
for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
    scripts/wine.sh reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v "$face" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
for n in 1 12; do
    scripts/wine.sh reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$lines/com$n" /f >/dev/null 2>&1
done
wineserver -k 2>/dev/null || true
wineserver -w
# One server for all the runs below, stopped by cleanup. Its background programs are started
# here, away from the output pipes of the tests, which they would otherwise hold open.
wineserver -p >>"$root/build/wineserver.log" 2>&1
scripts/wine.sh wineboot >/dev/null 2>&1

# A machine whose kernel runs no 32-bit programs cannot run the 32-bit vendor helper either:
# there the 32-bit build is made and shipped, its tests are not run, and the readings under Wine
# go through the 64-bit helper and stand-in library in a copy of the folder.
presets=(windows-x64 windows-x86)
run=$dist
if ! scripts/wine.sh --can-run-32-bit; then
    echo "== this machine runs no 32-bit programs: the 32-bit helper and its tests are not run;"
    echo "   the readings under Wine use the 64-bit cpedfm-host.exe and cpedfm.dll"
    presets=(windows-x64)
    run=$root/build/windows-run64
    rm -rf "$run"
    cp -r "$dist" "$run"
    cp build/windows-x64/bin/cpedfm-host.exe build/windows-x64/bin/cpedfm.dll "$run/"
fi

status=0
for preset in "${presets[@]}"; do
    echo "== unit tests under wine: $preset"
    ctest --preset "$preset" --timeout 300 || status=1
    echo "== serial device under wine: $preset"
    build/dev/bin/serialpeer "$lines/com1" "$lines/com12" -- \
        timeout 120 scripts/wine.sh "build/$preset/bin/test_serial_win32.exe" || status=1
done

# meterread.exe against the Linux metersim behind COM1. Each type is read once on Linux (the
# reference) and once under Wine; record, end and the bytes on the wire must be the same, and
# the capture the Windows run writes must replay on Linux to the same outcome.
. "$root/tests/wine/metersim.sh"
# The fields that must agree, with the commas of the echo (which follow the reads) left out.
fields() {
    jq -r '[.end, .status, .record, .sent, (.received | gsub(","; ""))] | join("|")'
}
echo "== meterread.exe under wine, every machine type by its code and by its list text"
printf '%-18s %-8s %-8s %s\n' type linux wine record
captures=0
for type in 11 12 13 21 22 31 51 "pitneybows 950" "pitneybows spark" 高速机 neopost copote \
            "5400(4表头)" "5400(5表头)"; do
    startsim --type "$type"
    reference=$(build/dev/bin/meterread --port 1 --type "$type" --device "1=$pty" --json |
                fields || true)
    stopsim
    startsim --type "$type"
    started=$(date +%s%N)
    capture=build/winecapture-$((++captures)).jsonl
    actual=$(timeout 120 scripts/wine.sh "$run/meterread.exe" --port 1 --type "$type" --json \
                 --capture "$capture" | tr -d '\r' | fields || true)
    ms=$(( ($(date +%s%N) - started) / 1000000 ))
    stopsim
    # The capture made on Windows reads again offline on Linux as it was read.
    if ! build/dev/bin/meterread --replay "$capture" --check >/dev/null; then
        echo "   the capture made under wine does not replay on Linux: $capture" >&2
        status=1
    fi
    IFS='|' read -r end state record _ <<<"$actual"
    printf '%-18s %-8s %-8s %s (%d ms)\n' "$type" "${reference%%|*}" "$end/$state" "$record" "$ms"
    if [ "$state" != read ] || [ "$actual" != "$reference" ]; then
        echo "   differs from Linux:" >&2
        echo "   linux: $reference" >&2
        echo "   wine:  $actual" >&2
        status=1
    fi
done

# Text at the console's boundary and the requests to end.
. tests/wine/console.sh
tests/wine/demo-and-paths.sh "$dist" "$lines/com1" || status=1
tests/wine/window.sh "$run" || status=1
tests/wine/installer.sh || status=1

if [ "$status" -ne 0 ]; then
    echo "== windows tests FAILED" >&2
    exit 1
fi
echo "== windows tests passed"
