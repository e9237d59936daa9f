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
# Installs everything these checks need when it is missing, before anything is configured: the
# cross compilers, Wine, Xvfb, nsis (whose presence at configure time decides the installer) and
# qemu-user-static. Not part of ./test.sh, so that a newcomer on Linux does not get Wine.
# Uses private Wine prefixes under build/ and leaves nothing running.
#
# 32-bit programs: the vendor helper and library are 32-bit. Where the kernel runs no 32-bit
# programs, the whole run goes through scripts/binfmt-i386.sh, which lets them run under
# user-mode emulation for as long as the run lasts (root needed). Where that is impossible too,
# the 64-bit helper and library stand in, and the run says so loudly at its end; with
# METERREADER_REQUIRE_32BIT=1 (CI) it then fails instead.
# Under emulation each start of a 32-bit program costs about a minute: the checks that start
# one wait METERREADER_WINE32_START seconds longer (set here: 0 where the kernel runs them), and
# only the 32-bit checks that are worth it run (see "the 32-bit checks" below).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# When the run began, also across its start again under scripts/binfmt-i386.sh.
export METERREADER_RUN_STARTED=${METERREADER_RUN_STARTED:-$(date +%s)}

# What it needs, installed only when missing.
packages=(cmake ninja-build g++ libgtest-dev jq python3
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386
          xvfb xdotool imagemagick fonts-wqy-microhei nsis unzip qemu-user-static)
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

# The rest of the run where 32-bit programs can run (scripts/binfmt-i386.sh), after a check that
# its handler goes again however a run ends.
if [ -z "${METERREADER_I386:-}" ]; then
    binfmt_status=0
    tests/wine/binfmt.sh || binfmt_status=1
    export METERREADER_BINFMT_TEST=$binfmt_status
    exec scripts/binfmt-i386.sh "$root/scripts/test-windows.sh" "$@"
fi
status=0
[ "${METERREADER_BINFMT_TEST:-0}" = 0 ] || status=1
# Under emulation a 32-bit program's start is slow, but Wine's CreateProcess returns only once
# it is up, so the 30 s a vendor call is given hold there too (measured with the machine loaded
# to 25: a copote reading of 341 s, no call near 30 s). Should a call's own time ever outgrow
# them, METERREADER_TEST_VENDOR_BOUND_MS (readingsetup.h) gives the programs under test a longer
# bound, which the reason of a hung library then names; it is passed on when set.
case $METERREADER_I386 in
emulated) export METERREADER_WINE32_START=${METERREADER_WINE32_START:-600} ;;
*) export METERREADER_WINE32_START=${METERREADER_WINE32_START:-0} ;;
esac
# The time each 32-bit check took, for the summary at the end.
timings=()
timed() { # WHAT COMMAND...: runs COMMAND, notes its time and whether it passed
    local what=$1 t=$SECONDS rc=0
    shift
    "$@" || rc=$?
    timings+=("$(printf '%-58s %4d s  %s' "$what" $((SECONDS - t)) \
                 "$([ "$rc" = 0 ] && echo passed || echo FAILED)")")
    return "$rc"
}

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
    # A 32-bit program still starting under emulation is not yet known to the Wine server,
    # which therefore cannot end it: ours are those of our prefixes (their environment says so).
    local p
    for p in $(pgrep -f '^/usr/bin/qemu-i386-static /usr/lib/wine/wine ' || true); do
        if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qE "^WINEPREFIX=($root/build/|${prefixcache:-/nonexistent}/wineprefix-)"; then
            kill -9 "$p" 2>/dev/null || true
        fi
    done
    rm -f "$lines/com1" "$lines/com12"
}
trap cleanup EXIT

# A prefix is made once per machine, untouched, and copied for each use (tests/wine/installer.sh
# wants a fresh one every run): making one starts 32-bit programs, a few minutes under
# emulation. It is kept outside the clone, beside Qt for Windows, keyed by Wine's version; one
# made where 32-bit programs could not run lacks their half, so each kind has its own. It is
# made under a temporary name and renamed when complete, so that an interrupted run leaves none.
wine_version=$(scripts/wine.sh --version 2>/dev/null | sed 's/[^A-Za-z0-9.]\{1,\}/-/g; s/-$//' || true)
prefixcache=${METERREADER_CACHE:-/var/cache/meterreader}
mkdir -p "$prefixcache"
pristine=$prefixcache/wineprefix-$wine_version-$METERREADER_I386
export METERREADER_WINE_PRISTINE=$pristine
if [ ! -f "$pristine/system.reg" ]; then
    echo "== wine prefix $pristine"
    t=$SECONDS
    making=$pristine.making-$$
    rm -rf "$making"
    WINEPREFIX=$making scripts/wine.sh wineboot -i >/dev/null 2>&1
    WINEPREFIX=$making wineserver -w
    rm -rf "$pristine"
    mv "$making" "$pristine"
    timings+=("$(printf '%-58s %4d s' "a new wine prefix ($METERREADER_I386 32-bit)" $((SECONDS - t)))")
fi
if [ "$(cat "$WINEPREFIX/.meterreader-i386" 2>/dev/null)" != "$METERREADER_I386" ]; then
    rm -rf "$WINEPREFIX"
    cp -a "$pristine" "$WINEPREFIX"
    echo "$METERREADER_I386" >"$WINEPREFIX/.meterreader-i386"
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

# Where no 32-bit program can run even under emulation, the 32-bit build is made and shipped,
# its tests are not run, and the readings under Wine go through the 64-bit helper and stand-in
# library in a copy of the folder.
run=$dist
run32=1
if ! scripts/wine.sh --can-run-32-bit; then
    run32=0
    echo "== this machine runs no 32-bit programs: the 32-bit helper and its tests are not run;"
    echo "   the readings under Wine use the 64-bit cpedfm-host.exe and cpedfm.dll"
    run=$root/build/windows-run64
    rm -rf "$run"
    cp -r "$dist" "$run"
    cp build/windows-x64/bin/cpedfm-host.exe build/windows-x64/bin/cpedfm.dll "$run/"
fi

echo "== unit tests under wine: windows-x64"
ctest --preset windows-x64 --timeout 300 || status=1
echo "== serial device under wine: windows-x64"
build/dev/bin/serialpeer "$lines/com1" "$lines/com12" -- \
    timeout 120 scripts/wine.sh build/windows-x64/bin/test_serial_win32.exe || status=1

# The 32-bit checks. The 32-bit build is the 64-bit one's code compiled again; what is its own
# is the vendor path: the helper, and the library's calling convention (stdcall), its strings
# (BSTR) and its exports by plain name (the .def file). So where each 32-bit start costs a
# minute (emulation), its unit tests run for the vendor path alone, and end to end: the 64-bit
# meterread.exe reading copote through the installed 32-bit helper and DLL (below), the faulty
# library's hang and crash and a 64-bit DLL in their place (tests/wine/demo-and-paths.sh), and
# the window reading copote (tests/wine/window.sh). Where the kernel runs them, all of it runs.
if [ "$run32" = 1 ]; then
    tests32=()
    # Under emulation the two start side by side: their start-up is most of their time.
    if [ "$METERREADER_I386" = emulated ]; then tests32=(-R '^test_vendor(api)?$' --parallel 2); fi
    echo "== unit tests under wine: windows-x86 ${tests32[*]}"
    timed "32-bit unit tests ${tests32[*]:-(all)}" \
        ctest --preset windows-x86 "${tests32[@]}" --timeout $((300 + METERREADER_WINE32_START)) ||
        status=1
    if [ "$METERREADER_I386" != emulated ]; then
        echo "== serial device under wine: windows-x86"
        build/dev/bin/serialpeer "$lines/com1" "$lines/com12" -- \
            timeout 120 scripts/wine.sh build/windows-x86/bin/test_serial_win32.exe || status=1
    fi
fi

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
    actual=$(timeout $((120 + METERREADER_WINE32_START)) scripts/wine.sh "$run/meterread.exe" \
                 --port 1 --type "$type" --json --capture "$capture" | tr -d '\r' | fields || true)
    ms=$(( ($(date +%s%N) - started) / 1000000 ))
    if [ "$type" = copote ] && [ "$run32" = 1 ]; then
        timings+=("$(printf '%-58s %4d s  %s' "meterread.exe, copote via the installed 32-bit helper" \
                     $((ms / 1000)) "$([ "$actual" = "$reference" ] && echo passed || echo FAILED)")")
    fi
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
timed "demo, copote, the faulty library and refusals (demo-and-paths)" \
    tests/wine/demo-and-paths.sh "$dist" "$lines/com1" || status=1
timed "the window from the keyboard, every type (window.sh)" tests/wine/window.sh "$run" || status=1
timed "installer and ZIP (installer.sh)" tests/wine/installer.sh || status=1

echo "== times (32-bit programs: $METERREADER_I386)"
printf '   %s\n' "${timings[@]}"
echo "   the whole run: $(($(date +%s) - METERREADER_RUN_STARTED)) s"
if [ "$run32" = 0 ]; then
    echo >&2
    echo "!! NOT VERIFIED: the 32-bit vendor helper and library did not run on this machine" >&2
    echo "!! (${METERREADER_I386_WHY:-32-bit programs do not start}); 64-bit ones stood in." >&2
    if [ "${METERREADER_REQUIRE_32BIT:-0}" = 1 ]; then
        echo "!! METERREADER_REQUIRE_32BIT=1: that is a failure." >&2
        status=1
    fi
fi
if [ "$status" -ne 0 ]; then
    echo "== windows tests FAILED" >&2
    exit 1
fi
if [ "$run32" = 0 ]; then
    echo "== windows tests passed, WITHOUT the 32-bit vendor path (see above)"
else
    echo "== windows tests passed"
fi
