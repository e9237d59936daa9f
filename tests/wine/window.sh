#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window, meterreader.exe, under Wine on Xvfb, driven with the keyboard as an operator
# would drive it: Tab to the machine-type list, the arrow keys to the row, Shift+Tab back to
# 开始 and Space. Each machine type reads the Linux metersim through COM1 (copote through the
# 32-bit helper); the journal row the window writes must equal the Linux meterread's reading of
# the same simulated meter in record, end, status, sent and received. Then: a typed "Neopost"
# with Enter starts no reading, Esc ends a silent 5400 within a second, and closing the window
# during a reading leaves no process behind.
#   tests/wine/window.sh FOLDER    FOLDER holds meterreader.exe and what it needs
# Expects from scripts/test-windows.sh: WINEPREFIX with COM1 behind $lines/com1, the Linux
# programs in build/dev/bin. Runs an Xvfb of its own (no window manager) and the prefix's Wine
# server on it while it runs. SHOTS=DIR also keeps screenshots of the window and its device
# picker there.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
folder=$1
lines=$root/build/winelines
out=$root/build/winewindow
mkdir -p "$out"
status=0
fail() {
    echo "   FAILED: $*" >&2
    status=1
}

. "$root/tests/wine/metersim.sh"
winpid=""
stopwindow() {
    if [ -n "$winpid" ]; then
        kill "$winpid" 2>/dev/null || true
        wait "$winpid" 2>/dev/null || true
        winpid=""
    fi
}
xvfbpid=""
trap 'stopwindow; stopsim; wineserver -k 2>/dev/null || true; [ -z "$xvfbpid" ] || kill "$xvfbpid"' EXIT

# A display of our own, and a Wine server started on it, so that the window's programs reach it.
rm -f "$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" >/dev/null 2>&1 &
xvfbpid=$!
for _ in $(seq 50); do
    [ -s "$out/display" ] && break
    sleep 0.1
done
export DISPLAY=:$(cat "$out/display")
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p >>"$root/build/wineserver.log" 2>&1
scripts/wine.sh wineboot >/dev/null 2>&1

# The window with the journal at $1 (a Linux path; Wine sees it as Z:); its X window id.
startwindow() {
    rm -f "$1"
    # Under Wine the system's own font engine leaves the text of the editable lists unpainted;
    # Qt's FreeType engine paints it (on Windows the program uses the system's engine).
    scripts/wine.sh "$folder/meterreader.exe" -platform windows:fontengine=freetype \
        --device 1=COM1 --journal "Z:${1//\//\\}" >"$out/window.log" 2>&1 &
    winpid=$!
    win=""
    for _ in $(seq 600); do
        win=$(xdotool search --onlyvisible --name '^meterreader' 2>/dev/null | head -n 1 || true)
        [ -n "$win" ] && break
        sleep 0.1
    done
    if [ -z "$win" ]; then
        fail "the window did not show within 60 s"
        sed 's/^/   /' "$out/window.log" >&2
        stopwindow
        return 1
    fi
    xdotool windowfocus --sync "$win"
    sleep 0.5
}
key() {
    xdotool windowfocus --sync "$win" key --delay 80 "$@"
}
# From the focus on 开始 (where the window opens): the machine type of row $1 (0 = the first),
# then back to 开始 and Space.
startrow() {
    key Tab Tab
    for ((i = 0; i < $1; i++)); do key Down; done
    key shift+Tab shift+Tab space
}
# Waits up to $2 s for the journal $1 to hold a reading; prints its row's fields.
journalrow() {
    for ((i = 0; i < $2 * 10; i++)); do
        if [ -f "$1" ] && [ "$(wc -l <"$1")" -ge 2 ]; then
            python3 - "$1" <<'PY'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8-sig", newline="")))
r = rows[-1]
print("|".join([r["type"], r["end"], r["status"], r["record"], r["sent"],
                r["received"].replace(",", "")]))
PY
            return 0
        fi
        sleep 0.1
    done
    return 1
}
closewindow() { # [TENTHS]: how long the window may take to go, 5 s unless told
    key alt+F4 || true
    for _ in $(seq "${1:-50}"); do
        kill -0 "$winpid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$winpid" 2>/dev/null; then
        fail "the window did not close on Alt+F4"
    fi
    stopwindow
    # The next window starts when nothing of this one is left.
    for _ in $(seq 100); do
        pgrep -f 'meterreader.exe|cpedfm-host.exe' >/dev/null || break
        sleep 0.1
    done
}

types=("pitneybows 950" "pitneybows spark" "高速机" "neopost" "copote" "5400(4表头)" "5400(5表头)")
echo "== the window under wine, every machine type, from the keyboard"
printf '%-18s %-22s %s\n' type window record
for row in "${!types[@]}"; do
    type=${types[$row]}
    startsim --type "$type"
    build/dev/bin/meterread --port 1 --type "$type" --device "1=$pty" --journal "$out/linux.csv" \
        >/dev/null 2>&1 || true
    reference=$(journalrow "$out/linux.csv" 1 || true)
    rm -f "$out/linux.csv"
    stopsim
    startsim --type "$type"
    startwindow "$out/window.csv" || { stopsim; continue; }
    started=$(date +%s%N)
    startrow "$row"
    # copote starts the 32-bit helper: about a minute more under emulation.
    actual=$(journalrow "$out/window.csv" $((90 + ${METERREADER_WINE32_START:-0})) || true)
    ms=$(( ($(date +%s%N) - started) / 1000000 ))
    if [ -n "${SHOTS:-}" ] && [ "$type" = "pitneybows 950" ]; then
        sleep 0.5
        import -window "$win" "$SHOTS/window-windows.png" 2>/dev/null || fail "no screenshot"
    fi
    closewindow
    stopsim
    IFS='|' read -r _ end state record _ <<<"$actual"
    printf '%-18s %-22s %s (%d ms)\n' "$type" "${end:-none}/${state:-none}" "${record:-}" "$ms"
    if [ "${state:-}" != read ] || [ "$actual" != "$reference" ]; then
        echo "   linux:  $reference" >&2
        echo "   window: $actual" >&2
        fail "$type through the window differs from the Linux reader"
    fi
done

echo "== a typed \"Neopost\" and Enter start no reading"
startsim --type neopost
if startwindow "$out/window.csv"; then
    key Tab Tab ctrl+a
    xdotool windowfocus --sync "$win" type --delay 80 Neopost
    key Return shift+Tab shift+Tab space
    sleep 2
    if [ -f "$out/window.csv" ] && [ "$(wc -l <"$out/window.csv")" -ge 2 ]; then
        fail "\"Neopost\" started a reading"
    fi
    closewindow
fi
stopsim

echo "== Esc ends a silent 5400 within a second"
startsim --type "5400(4表头)" --silent
if startwindow "$out/window.csv"; then
    startrow 5
    sleep 3
    pressed=$(date +%s%N)
    key Escape
    if row=$(journalrow "$out/window.csv" 3); then
        ms=$(( ($(date +%s%N) - pressed) / 1000000 ))
        IFS='|' read -r _ end state _ <<<"$row"
        echo "   ended $end/$state ${ms} ms after Esc"
        [ "$ms" -le 1000 ] || fail "Esc took $ms ms"
        [ "$state" = failed ] || fail "a cancelled reading is $state"
    else
        fail "Esc did not end the reading"
    fi
    closewindow
fi
stopsim

echo "== closing the window during a reading leaves no process"
startsim --type copote --silent
if startwindow "$out/window.csv"; then
    startrow 4
    sleep 2
    pgrep -f 'cpedfm-host.exe' >/dev/null || fail "no helper ran during the copote reading"
    closed=$(date +%s%N)
    # Under emulation the helper may still be starting, which Wine does not cut short: the
    # window, which ends the reading before it goes, and the helper may take that long to go.
    closewindow $((50 + 10 * ${METERREADER_WINE32_START:-0}))
    for _ in $(seq $((30 + 10 * ${METERREADER_WINE32_START:-0}))); do
        pgrep -f 'meterreader.exe|cpedfm-host.exe' >/dev/null || break
        sleep 0.1
    done
    ms=$(( ($(date +%s%N) - closed) / 1000000 ))
    if pgrep -fa 'meterreader.exe|cpedfm-host.exe' >&2; then
        fail "processes left after closing"
    else
        echo "   nothing left ${ms} ms after Alt+F4"
    fi
fi
stopsim

if [ -n "${SHOTS:-}" ]; then
    echo "== the device picker"
    startsim --type neopost
    if startwindow "$out/window.csv"; then
        # 设备 → 选择设备… from the menu bar, by its mnemonic-less path: Alt, then Right to the
        # third menu and Down to its entry.
        key alt Right Right Right Down Return
        sleep 1.5
        picker=$(xdotool search --onlyvisible --name '选择设备|Choose' 2>/dev/null | head -n 1 || true)
        import -window "${picker:-root}" "$SHOTS/window-windows-device.png" 2>/dev/null ||
            fail "no screenshot of the device picker"
        key Escape
        closewindow
    fi
    stopsim
fi

exit "$status"
