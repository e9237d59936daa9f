#!/usr/bin/env bash
# Cross-builds the Qt-free part of meterreader for Windows (64-bit and 32-bit, MinGW-w64) and
# tests it under Wine on this Linux machine:
#   - the unit tests of both builds;
#   - the Win32 serial device against pseudo-terminals of this machine standing behind COM1 and
#     COM12 (settings applied, bytes both ways, ports above 9, missing ports, stale bytes);
#   - the 64-bit meterread.exe end to end, reading the Linux metersim through COM1 for every
#     serial machine type, and copote through the 32-bit vendor helper and the 32-bit stand-in
#     cpedfm.dll, as they would sit side by side in a folder on a Windows machine.
# Installs the cross compilers and Wine when they are missing (not part of ./test.sh, so that a
# newcomer on Linux does not get Wine). Uses a private Wine prefix under build/ and leaves nothing
# running.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# What it needs, installed only when missing.
packages=(cmake ninja-build g++ libgtest-dev jq
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
echo "== build serialpeer, metersim and meterread (Linux)"
[ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target serialpeer metersim meterread

# What a technician would copy to a Windows machine: the 64-bit reader with the 32-bit vendor
# helper and the 32-bit library beside it (a vendor DLL for a Visual Basic caller is 32-bit).
dist=$root/build/windows-portable
rm -rf "$dist"
mkdir -p "$dist"
cp build/windows-x64/bin/meterread.exe "$dist/"
cp build/windows-x86/bin/cpedfm-host.exe build/windows-x86/bin/cpedfm.dll "$dist/"

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
    wine wineboot -i >/dev/null 2>&1
fi
for n in 1 12; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$lines/com$n" /f >/dev/null 2>&1
done
wineserver -k 2>/dev/null || true
wineserver -w
# One server for all the runs below, stopped by cleanup. Its background programs are started
# here, away from the output pipes of the tests, which they would otherwise hold open.
wineserver -p >>"$root/build/wineserver.log" 2>&1
wine wineboot >/dev/null 2>&1

status=0
for preset in windows-x64 windows-x86; do
    echo "== unit tests under wine: $preset"
    ctest --preset "$preset" --timeout 300 || status=1
    echo "== serial device under wine: $preset"
    build/dev/bin/serialpeer "$lines/com1" "$lines/com12" -- \
        wine "build/$preset/bin/test_serial_win32.exe" || status=1
done

# meterread.exe against the Linux metersim behind COM1. Each type is read once on Linux (the
# reference) and once under Wine; record, end and the bytes on the wire must be the same.
simpid=""
startsim() {
    local log=$root/build/winelines/metersim.log
    build/dev/bin/metersim --type "$1" >"$log" 2>&1 &
    simpid=$!
    for _ in $(seq 50); do
        pty=$(head -n 1 "$log" 2>/dev/null || true)
        [ -n "$pty" ] && [ -e "$pty" ] && break
        sleep 0.1
    done
    ln -sfn "$pty" "$lines/com1"
}
stopsim() {
    kill "$simpid" 2>/dev/null || true
    wait "$simpid" 2>/dev/null || true
}
# The fields that must agree, with the commas of the echo (which follow the reads) left out.
fields() {
    jq -r '[.end, .status, .record, .sent, (.received | gsub(","; ""))] | join("|")'
}
echo "== meterread.exe under wine, every machine type"
printf '%-18s %-8s %-8s %s\n' type linux wine record
for type in 11 12 13 21 22 31 51; do
    startsim "$type"
    reference=$(build/dev/bin/meterread --port 1 --type "$type" --device "1=$pty" --json |
                fields || true)
    stopsim
    startsim "$type"
    started=$(date +%s%N)
    actual=$(timeout 120 wine "$dist/meterread.exe" --port 1 --type "$type" --json | tr -d '\r' |
             fields || true)
    ms=$(( ($(date +%s%N) - started) / 1000000 ))
    stopsim
    IFS='|' read -r end state record _ <<<"$actual"
    printf '%-18s %-8s %-8s %s (%d ms)\n' "$type" "${reference%%|*}" "$end/$state" "$record" "$ms"
    if [ "$state" != read ] || [ "$actual" != "$reference" ]; then
        echo "   differs from Linux:" >&2
        echo "   linux: $reference" >&2
        echo "   wine:  $actual" >&2
        status=1
    fi
done

tests/wine/installer.sh || status=1

if [ "$status" -ne 0 ]; then
    echo "== windows tests FAILED" >&2
    exit 1
fi
echo "== windows tests passed"
