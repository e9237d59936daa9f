#!/usr/bin/env bash
# Cross-builds the Qt-free part of meterreader for Windows (64-bit and 32-bit, MinGW-w64) and
# tests it under Wine on this Linux machine:
#   - the unit tests of both builds;
#   - the Win32 serial device against pseudo-terminals of this machine standing behind COM1 and
#     COM12 (settings applied, bytes both ways, ports above 9, missing ports, stale bytes).
# Installs the cross compilers and Wine when they are missing (not part of ./test.sh, so that a
# newcomer on Linux does not get Wine). Uses a private Wine prefix under build/ and leaves nothing
# running.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# What it needs, installed only when missing.
packages=(cmake ninja-build g++ libgtest-dev
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386)
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

# Both Windows builds, and the Linux end of the serial lines.
for preset in windows-x64 windows-x86; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
echo "== build serialpeer"
[ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target serialpeer

# A private Wine prefix, and COM1 and COM12 mapped to fixed paths that serialpeer links to its
# pseudo-terminals (dosdevices links alone are rewritten by Wine when it starts).
export WINEPREFIX=$root/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
lines=$root/build/winelines
mkdir -p "$lines"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -f "$lines/com1" "$lines/com12"
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== wine prefix $WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
fi
for n in 1 12; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$lines/com$n" /f >/dev/null 2>&1
done
wineserver -k 2>/dev/null || true
wineserver -w
# One server for all the runs below, stopped by cleanup. Its background programs are started
# here, away from the output pipes of the tests, which they would otherwise hold open.
wineserver -p
wine wineboot >/dev/null 2>&1

status=0
for preset in windows-x64 windows-x86; do
    echo "== unit tests under wine: $preset"
    ctest --preset "$preset" --timeout 300 || status=1
    echo "== serial device under wine: $preset"
    build/dev/bin/serialpeer "$lines/com1" "$lines/com12" -- \
        wine "build/$preset/bin/test_serial_win32.exe" || status=1
done

if [ "$status" -ne 0 ]; then
    echo "== windows tests FAILED" >&2
    exit 1
fi
echo "== windows tests passed"
