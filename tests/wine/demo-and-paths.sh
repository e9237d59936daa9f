#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Under Wine, with the portable folder copied to a folder whose name has a space and Chinese
# characters, as a technician's might:
#   - meterread.exe --demo reads every machine type, copote through the 32-bit helper, exactly
#     as the Linux reader reads its own demo meter;
#   - copote reads the Linux metersim through COM1 from that folder;
#   - a 64-bit cpedfm.dll, a missing helper or library, a missing or busy COM port, a journal
#     that cannot be written: each gives its reason in Chinese and in English, quickly;
#   - a library that hangs or crashes in ReadRegister ends only its helper: the reading fails
#     with the reason, within the bound on a vendor call;
#   - the journal under a Chinese path, once the command line arrives as UTF-16.
# Called by scripts/test-windows.sh with the Wine prefix and COM1 set up:
#   demo-and-paths.sh PORTABLE-FOLDER COM1-LINK
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
portable=$1
com1=$2
# Wine turns the Unix paths and arguments into UTF-16 with the Unix locale's character set.
export LC_ALL=C.UTF-8
drive=$WINEPREFIX/drive_c
failures=0

fail() {
    echo "   FAILED: $*" >&2
    failures=$((failures + 1))
}

# The helper and library are 32-bit, as a Visual Basic vendor library is. Where this Wine cannot
# start a 32-bit program (a kernel without 32-bit support), the 64-bit pair of the 64-bit build
# stands in, and the library of the other width is the 32-bit one.
# Each start of a 32-bit program may take this much longer (scripts/test-windows.sh); where it
# is not 0 (emulation), a refusal is tried in one language where the text is the only difference.
slow32=${METERREADER_WINE32_START:-0}
bits=32
wrongwidth=build/windows-x64/bin/cpedfm.dll
helpers=$portable
faulty=build/windows-x86/bin/cpedfm_faulty.dll
if ! scripts/wine.sh --can-run-32-bit; then
    echo "   note: this Wine cannot start 32-bit programs; the 64-bit helper and library stand in"
    bits=64
    wrongwidth=build/windows-x86/bin/cpedfm.dll
    helpers=build/windows-x64/bin
    faulty=build/windows-x64/bin/cpedfm_faulty.dll
fi
langs=(en zh)
[ "$slow32" = 0 ] || langs=(zh)

# A folder C:\NAME with the portable programs in it.
folder() {
    rm -rf "$drive/$1"
    mkdir -p "$drive/$1"
    cp "$portable/meterread.exe" "$helpers/cpedfm-host.exe" "$helpers/cpedfm.dll" "$drive/$1/"
}

# wine meterread.exe from FOLDER with ARGS...; sets out, err, rc and ms. Never waits forever.
run() {
    local dir=$1
    shift
    local started
    started=$(date +%s%N)
    out=$(timeout $((90 + slow32)) wine "$drive/$dir/meterread.exe" "$@" 2>"$root/build/wine-err.txt" |
          tr -d '\r')
    rc=${PIPESTATUS[0]}
    err=$(tr -d '\r' <"$root/build/wine-err.txt")
    ms=$(( ($(date +%s%N) - started) / 1000000 ))
}

fields() {
    jq -r '[.end, .status, .record, .sent, (.received | gsub(","; ""))] | join("|")'
}

expect() { # WHAT TEXT NEEDLE
    case "$2" in
    *"$3"*) ;;
    *) fail "$1: no \"$3\" in: $2" ;;
    esac
}

simlink=$com1
. "$root/tests/wine/metersim.sh"
trap stopsim EXIT

here="读数 工具"
folder "$here"

echo "== demo under wine from C:\\$here, every machine type"
printf '%-6s %-14s %s\n' type wine ms
for type in 11 12 13 21 22 31 51; do
    reference=$(build/dev/bin/meterread --demo --type "$type" --json | fields)
    run "$here" --demo --type "$type" --json
    actual=$(fields <<<"$out")
    IFS='|' read -r end state _ <<<"$actual"
    printf '%-6s %-14s %s\n' "$type" "$end/$state" "$ms"
    [ "$rc" -eq 0 ] && [ "$actual" = "$reference" ] ||
        fail "--demo --type $type (exit $rc): linux $reference, wine $actual; $err"
done

echo "== copote through COM1 from C:\\$here"
startsim --type 51
reference=$(build/dev/bin/meterread --type 51 --device "1=$pty" --json | fields)
stopsim
startsim --type 51
run "$here" --port 1 --type 51 --json
stopsim
[ "$rc" -eq 0 ] && [ "$(fields <<<"$out")" = "$reference" ] ||
    fail "copote on COM1 (exit $rc): $out $err"

echo "== refusals, in both languages"
# A library of the other width beside the helper (a 64-bit cpedfm.dll beside the 32-bit one).
folder "读数 宽"
cp "$wrongwidth" "$drive/读数 宽/cpedfm.dll"
for lang in "${langs[@]}"; do
    run "读数 宽" --demo --type 51 --json --lang "$lang"
    reason=$(jq -r .reason <<<"$out")
    expect "wrong width" "$reason" "is not a $bits-bit Windows library (error 193)"
    expect "wrong width" "$reason" "can load only a $bits-bit cpedfm.dll"
    [ "$lang" = zh ] && expect "wrong width, zh" "$err" "不是 $bits 位的 Windows 库"
    [ "$lang" = en ] && expect "wrong width, en" "$err" "is not a $bits-bit Windows library"
done
# A library planted in the working directory is never loaded: from a folder holding the one of
# the other width, the reading goes through the folder's own.
mkdir -p "$drive/工作"
cp "$wrongwidth" "$drive/工作/cpedfm.dll"
out=$(cd "$drive/工作" && timeout $((90 + slow32)) wine "$drive/$here/meterread.exe" --demo --type 51 --json |
      tr -d '\r')
[ "$(jq -r .status <<<"$out")" = read ] || fail "planted cpedfm.dll in the working directory: $out"
rm -rf "$drive/工作"
# The helper, then the library, missing from the folder: the reason says where it looked, and
# only there.
for missing in cpedfm-host.exe cpedfm.dll; do
    folder "读数 缺"
    rm "$drive/读数 缺/$missing"
    run "读数 缺" --demo --type 51 --json --lang zh
    reason=$(jq -r .reason <<<"$out")
    expect "missing $missing" "$reason" "was not found at C:\\读数 缺\\$missing"
    case "$reason" in *lib*meterreader*) fail "missing $missing: looked in a Linux layout: $reason" ;; esac
    expect "missing $missing, zh" "$err" "（找过：C:\\读数 缺\\$missing）"
done
rm -rf "$drive/读数 宽" "$drive/读数 缺"

echo "== a library that hangs or crashes, through the $bits-bit helper"
# The faulty library misbehaves by port: 2 hangs in ReadRegister, 3 crashes there. The port is
# the library's business alone, so no COM port is behind it.
folder "读数 坏"
cp "$faulty" "$drive/读数 坏/cpedfm.dll"
# The bound is 30 s, or what METERREADER_TEST_VENDOR_BOUND_MS makes it when the checks set it.
for c in "2|vendor library stopped responding (no answer to ReadRegister within ${METERREADER_TEST_VENDOR_BOUND_MS:-30000} ms)" \
         "3|vendor library crashed in ReadRegister"; do
    port=${c%%|*}
    run "读数 坏" --port "$port" --type 51 --json --lang en
    reason=$(jq -r .reason <<<"$out" 2>/dev/null)
    printf '   port %s: %s (%d ms)\n' "$port" "$reason" "$ms"
    [ "$rc" -eq 1 ] || fail "faulty library, port $port: exit $rc"
    [ "$(jq -r .status <<<"$out" 2>/dev/null)" = failed ] || fail "faulty library, port $port: $out"
    expect "faulty library, port $port" "$reason" "${c#*|}"
done
rm -rf "$drive/读数 坏"

# A COM port that does not exist: at once.
run "$here" --port 1 --type 21 --device 1=COM7 --lang zh
expect "COM7" "$err" "端口 1（COM7）不存在"
[ "$ms" -lt 5000 ] || fail "COM7 took $ms ms"
run "$here" --port 1 --type 21 --device 1=COM7 --lang en
expect "COM7" "$err" "port 1 (COM7) does not exist"

# COM1 held by a reading of a silent meter while a second reader tries it.
startsim --type 12 --silent
timeout 90 wine "$drive/$here/meterread.exe" --port 1 --type 12 >/dev/null 2>&1 &
holder=$!
sleep 4
for lang in zh en; do
    run "$here" --port 1 --type 12 --lang "$lang"
    [ "$rc" -eq 1 ] || fail "COM1 in use: exit $rc"
    [ "$lang" = zh ] && expect "COM1 in use" "$err" "端口 1（COM1）正被另一个程序占用"
    [ "$lang" = en ] && expect "COM1 in use" "$err" "port 1 (COM1) is in use by another program"
done
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
stopsim

# Journals that cannot be written: the reading is printed, the cause is named, and the run
# fails (exit 1).
run "$here" --demo --type 21 --journal 'C:\missing\j.csv' --lang zh
[ "$rc" -eq 1 ] || fail "journal in a missing folder: exit $rc"
expect "reading printed" "$out" "表头：0000123456"
expect "missing journal folder" "$err" "meterread: 无法打开日志 C:\\missing\\j.csv：文件夹不存在"
run "$here" --demo --type 21 --journal 'C:\windows' --lang en
[ "$rc" -eq 1 ] || fail "journal is a folder: exit $rc"
expect "journal is a folder" "$err" "meterread: cannot open the journal C:\\windows: it is a folder, not a file"

# A Chinese journal path needs the command line as UTF-16; without it the path arrives as "?".
run "$here" --demo --type 高速机 --json
if [ "$(jq -r .status <<<"$out" 2>/dev/null)" = read ]; then
    rm -rf "$drive/读数"
    mkdir -p "$drive/读数"
    run "$here" --demo --type 21 --journal 'C:\读数\日志.csv'
    [ "$rc" -eq 0 ] && [ -f "$drive/读数/日志.csv" ] && grep -q 'pitneybows 950' "$drive/读数/日志.csv" ||
        fail "journal C:\\读数\\日志.csv: $err"
    rm -rf "$drive/读数"
else
    echo "   skipped: the journal under C:\\读数\\日志.csv (non-ASCII arguments do not arrive yet)"
fi

rm -rf "$drive/$here"
if [ "$failures" -ne 0 ]; then
    echo "== demo and paths under wine: $failures FAILED" >&2
    exit 1
fi
echo "== demo and paths under wine passed"
