#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows packages, made from the windows-x64 build and tried under Wine as a technician's
# machine would take them, in a Wine prefix made fresh for the purpose:
#   - cpack makes the portable ZIP and the NSIS installer from the same install tree;
#   - setup.exe /S installs into Program Files\meterreader exactly the ZIP's files, flat, the
#     helper and vendor library 32-bit beside the 64-bit programs; the Start menu holds the
#     window and the uninstaller; Add/Remove Programs has the uninstall key in the 64-bit view;
#   - the installed meterread.exe reads the Linux metersim through COM1 as the Linux reader
#     does, as pitneybows 950 and as copote through the installed 32-bit helper (where this host
#     runs 32-bit programs); the unpacked ZIP does the same from a folder with a space in its
#     name; the demo meter is read too once meterread.exe serves it on Windows;
#   - the installed window, when the tree holds one, comes up from its Start-menu entry on an X
#     display (Xvfb when there is none) and closes again on Alt+F4;
#   - Uninstall.exe /S leaves no file, shortcut or registry key behind, but the user's own
#     settings and journal in their profile.
# Called by scripts/test-windows.sh after its builds; builds what it needs when run alone.
# Leaves no Wine process running.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/build/windows-x64
out=$root/build/windows-packages
started=$SECONDS
step() { echo "== installer ($((SECONDS - started)) s): $*"; }
failures=0
fail() {
    echo "installer test FAILED: $*" >&2
    failures=$((failures + 1))
}

# makensis, and the tools for the ZIP, the JSON and the window, when they are missing.
scripts/setup.sh nsis unzip jq xdotool
step "build"
cmake --build --preset windows-x86 --target cpedfm-host cpedfm >/dev/null
[ -f "$build/build.ninja" ] || cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 >/dev/null
[ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target metersim meterread >/dev/null

step "packages"
rm -rf "$out"
(cd "$build" && cpack -G "ZIP;NSIS" -B "$out" >/dev/null)
version=$(sed -n 's/^project(meterreader VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=$out/meterreader-$version-win64.zip
setup=$out/meterreader-$version-win64-setup.exe
for f in "$zip" "$setup"; do
    [ -f "$f" ] || { echo "cpack made no $f" >&2; exit 1; }
    echo "$(basename "$f"): $(stat -c %s "$f") bytes"
done
# The ZIP's files, relative to its one top folder.
ziptree=$(unzip -Z1 "$zip" | grep -v '/$' | sed "s|^meterreader-$version-win64/||" | sort)

# Where this host runs no 32-bit programs, copote through the 32-bit vendor helper cannot be
# tried (see scripts/wine.sh).
wine=$root/scripts/wine.sh
run32=1
if ! "$wine" --can-run-32-bit; then
    run32=0
    echo "   (this host runs no 32-bit programs: copote through the 32-bit helper is not read)"
fi
# A fresh prefix, with COM1 at a fixed path that is linked to metersim's pseudo-terminal, and no
# menu entries made on this machine for the shortcuts the installer creates.
export WINEPREFIX=$root/build/wineprefix-installer
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
lines=$root/build/winelines-installer
. "$root/tests/wine/metersim.sh"
xvfb=""
window=""
cleanup() {
    stopsim
    if [ -n "$window" ]; then kill "$window" 2>/dev/null || true; fi
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
}
trap cleanup EXIT

step "fresh wine prefix $WINEPREFIX"
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
rm -rf "$WINEPREFIX" "$lines"
mkdir -p "$lines"
# A copy of the untouched prefix scripts/test-windows.sh made, where there is one: making a
# prefix starts 32-bit programs, minutes under emulation.
if [ -f "${METERREADER_WINE_PRISTINE:-/nonexistent}/system.reg" ]; then
    cp -a "$METERREADER_WINE_PRISTINE" "$WINEPREFIX"
else
    "$wine" wineboot -i >/dev/null 2>&1
fi
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$lines/com1" /f >/dev/null 2>&1
wineserver -k
wineserver -w
# One server for the runs below; its background programs start here, away from the pipes of
# the command substitutions, which they would otherwise hold open.
wineserver -p >>"$lines/wineserver.log" 2>&1
"$wine" wineboot >/dev/null 2>&1

# The unix path of a file in the prefix.
drive=$WINEPREFIX/drive_c
instdir="$drive/Program Files/meterreader"
startmenu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Meter Reader"
uninstallkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\meterreader'

step "setup.exe /S"
"$wine" "$setup" /S || fail "setup.exe /S ended with $?"
[ -d "$instdir" ] || { fail "nothing in C:\\Program Files\\meterreader"; exit 1; }
[ ! -e "$drive/Program Files (x86)/meterreader" ] || fail "installed under Program Files (x86)"

installed=$(cd "$instdir" && find . -type f | sed 's|^\./||' | sort)
echo "installed in C:\\Program Files\\meterreader:"
sed 's/^/    /' <<<"$installed"
[ "$(grep -vx Uninstall.exe <<<"$installed")" = "$ziptree" ] ||
    fail "the installed files differ from the ZIP's: $(diff <(echo "$ziptree") \
          <(grep -vx Uninstall.exe <<<"$installed") | tr '\n' ' ')"

# The machine a PE file is built for, from its COFF header: 8664 (x86-64) or 014c (x86).
pemachine() {
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' '
}
for f in meterread.exe cpedfm-host.exe cpedfm.dll LICENSE.txt Uninstall.exe; do
    [ -f "$instdir/$f" ] || fail "$f is not installed"
done
[ "$(pemachine "$instdir/meterread.exe")" = 8664 ] || fail "meterread.exe is not 64-bit"
for f in cpedfm-host.exe cpedfm.dll; do
    [ "$(pemachine "$instdir/$f")" = 014c ] || fail "$f is not 32-bit"
done
cmp -s LICENSE "$instdir/LICENSE.txt" || fail "LICENSE.txt is not the licence"

# The Start menu: the uninstaller, and the window when there is one; nothing else.
shortcuts="Uninstall.lnk"
if [ -f "$instdir/meterreader.exe" ]; then shortcuts=$'Meter Reader.lnk\nUninstall.lnk'; fi
actual=$(cd "$startmenu" 2>/dev/null && find . -type f | sed 's|^\./||' | sort || true)
[ "$actual" = "$shortcuts" ] || fail "the Start menu holds \"$actual\", not \"$shortcuts\""

# The uninstall entry, in the 64-bit view where Add/Remove Programs looks for 64-bit programs.
values=$("$wine" reg query "$uninstallkey" 2>/dev/null | tr -d '\r' |
         sed -n 's/^ \{4\}\([A-Za-z]*\) \{4\}REG_[A-Z_]* \{4\}\(.*\)$/\1=\2/p')
echo "uninstall key:"
sed 's/^/    /' <<<"$values"
for expected in "DisplayName=Meter Reader" "DisplayVersion=$version" \
                "Publisher=meterreader developers" \
                'UninstallString="C:\Program Files\meterreader\Uninstall.exe"' \
                'InstallLocation=C:\Program Files\meterreader'; do
    grep -qxF "$expected" <<<"$values" || fail "the uninstall key lacks $expected"
done
if "$wine" reg query "${uninstallkey/Software/Software\\WOW6432Node}" >/dev/null 2>&1; then
    fail "the uninstall key is in the 32-bit view"
fi

# The fields of a JSON reading that must agree with the Linux reader's.
fields() {
    jq -r '[.end, .status, .record, .sent, (.received | gsub(","; ""))] | join("|")'
}
# pitneybows 950 needs only the reader; copote needs the 32-bit helper and library beside it.
types=(21)
if [ "$run32" = 1 ]; then types+=(51); fi
declare -A reference
for type in "${types[@]}"; do
    startsim --type "$type"
    reference[$type]=$(build/dev/bin/meterread --port 1 --type "$type" --json \
                       --device "1=$(readlink "$lines/com1")" | fields || true)
    stopsim
    [ -n "${reference[$type]}" ] || fail "the Linux reader read nothing from metersim as $type"
done

# Each start of a 32-bit program may take this much longer (scripts/test-windows.sh).
slow32=${METERREADER_WINE32_START:-0}
# meterread.exe in FOLDER (a unix path) reads each of TYPES (default: all of them) through COM1
# as the Linux reader does, run from elsewhere so that only the reader's own folder can supply
# the helper and library.
readtypes() {
    local exe=$1/meterread.exe type actual
    local -a which=("${types[@]}")
    [ $# -lt 3 ] || read -r -a which <<<"$3"
    for type in "${which[@]}"; do
        startsim --type "$type"
        actual=$(cd "$drive" && timeout $((120 + slow32)) "$wine" "$exe" --port 1 --type "$type" --json |
                 tr -d '\r' | fields || true)
        stopsim
        echo "    $type: $actual"
        [ "$actual" = "${reference[$type]}" ] ||
            fail "$2 read $type as \"$actual\", Linux as \"${reference[$type]}\""
    done
}

step "the installed meterread.exe"
version_line=$(cd "$drive" && "$wine" "$instdir/meterread.exe" --version | tr -d '\r')
echo "    $version_line"
[ "$version_line" = "meterread $version" ] || fail "meterread.exe --version says \"$version_line\""
readtypes "$instdir" "the installed meterread.exe"

# The demo meter, once meterread.exe offers it on Windows (it must then read).
help=$(cd "$drive" && "$wine" "$instdir/meterread.exe" --help 2>&1 | tr -d '\r' || true)
if grep -q -- '--demo' <<<"$help"; then
    # copote's demo through the 32-bit helper is tried by tests/wine/demo-and-paths.sh; here it
    # would be one more minute under emulation.
    demotypes=("${types[@]}")
    [ "$slow32" = 0 ] || demotypes=(21)
    for type in "${demotypes[@]}"; do
        demo=$(cd "$drive" && timeout $((60 + slow32)) "$wine" "$instdir/meterread.exe" --demo --type "$type" \
               --json 2>"$lines/demo.err" | tr -d '\r' | jq -r '.end + "/" + .status' || true)
        echo "    demo $type: $demo"
        if grep -q 'the demo meter cannot start' "$lines/demo.err"; then
            echo "    (offered, but not served on Windows yet: $(tr -d '\r' <"$lines/demo.err"))"
        elif [ "$demo" != normal/read ]; then
            fail "the demo read as $type: $demo $(tr -d '\r' <"$lines/demo.err")"
        fi
    done
else
    echo "    (meterread.exe offers no --demo on Windows)"
fi

step "the portable ZIP, unpacked into a folder with a space in its name"
portable="$drive/portable meterreader"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable"
# The installed copy read copote through the helper already; under emulation the ZIP's reads
# the serial type alone.
ziptypes="${types[*]}"
[ "$slow32" = 0 ] || ziptypes=21
readtypes "$portable/meterreader-$version-win64" "the unpacked ZIP's meterread.exe" "$ziptypes"
rm -rf "$portable"

if [ -f "$instdir/meterreader.exe" ]; then
    step "the installed window, from its Start-menu entry"
    if [ -z "${DISPLAY:-}" ]; then
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$lines/display" \
            >/dev/null 2>&1 &
        xvfb=$!
        for _ in $(seq 100); do [ -s "$lines/display" ] && break; sleep 0.1; done
        [ -s "$lines/display" ] || { fail "Xvfb did not start"; exit 1; }
        export DISPLAY=:$(head -n 1 "$lines/display")
    fi
    # Wine's desktop process was started without a display: a server started afresh starts it
    # on this one, where the window can then show.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    running='^C:\\Program Files\\meterreader\\meterreader\.exe'
    (cd "$drive" && exec "$wine" start /wait \
        'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Meter Reader\Meter Reader.lnk') \
        >"$lines/window.log" 2>&1 &
    window=$!
    wid=$(timeout 60 xdotool search --sync --onlyvisible --name '^meterreader' | head -n 1 || true)
    if [ -z "$wid" ]; then
        fail "the installed window did not show within 60 s"
    else
        echo "    window $wid: $(xdotool getwindowname "$wid")"
        xdotool windowfocus --sync "$wid" key alt+F4
        # start returns once the shortcut has started the program: the program itself, as
        # Wine names its process, must be gone.
        for _ in $(seq 150); do
            pgrep -f "$running" >/dev/null || break
            sleep 0.1
        done
        ! pgrep -f "$running" >/dev/null || fail "the window did not close on Alt+F4"
    fi
    wait "$window" 2>/dev/null || true
    window=""
    "$wine" taskkill /f /im meterreader.exe >/dev/null 2>&1 || true
fi

step "Uninstall.exe /S"
# The uninstaller runs from a copy in %TEMP%, so it is done when everything it removes is gone.
"$wine" "$instdir/Uninstall.exe" /S || fail "Uninstall.exe /S ended with $?"
for _ in $(seq 300); do
    [ ! -e "$instdir" ] && [ ! -e "$startmenu" ] && break
    sleep 0.1
done
wineserver -k
wineserver -w
# The registry as Wine keeps it on disk once its server has stopped, and the drive.
leftkeys=$(grep -i -n -e meterreader -e 'Meter Reader' "$WINEPREFIX"/*.reg || true)
[ -z "$leftkeys" ] || fail "registry entries left after uninstalling: $leftkeys"
# What the window keeps for its user (its settings, its journal) is the user's and stays, as
# Windows uninstallers leave a profile's application data; nothing else may.
userdata="$drive/users/*/AppData/*/meterreader"
leftfiles=$(find "$drive" \( -iname '*meterreader*' -o -iname '*meter reader*' \) \
            -not -path "$userdata" -not -path "$userdata/*" -print)
[ -z "$leftfiles" ] || fail "files left after uninstalling: $leftfiles"
kept=$(find "$drive"/users/*/AppData/*/meterreader -type f 2>/dev/null | sed "s|^$drive/||" || true)
[ -z "$kept" ] || echo "    the user's own, kept: $(tr '\n' ' ' <<<"$kept")"

if [ "$failures" -ne 0 ]; then
    echo "== installer: $failures check(s) FAILED ($((SECONDS - started)) s)" >&2
    exit 1
fi
echo "== installer: installed, read, uninstalled ($((SECONDS - started)) s)"
