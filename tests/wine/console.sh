# SPDX-License-Identifier: GPL-3.0-or-later
# meterread.exe's text and its end on request, under Wine: sourced by scripts/test-windows.sh
# once the Wine prefix, COM1, startsim/stopsim (tests/wine/metersim.sh) and $dist are set up;
# sets status=1 on a failure.
#   - through a pipe: the five lines and the JSON are UTF-8, byte for byte the Linux reader's;
#     a Chinese text on the command line reaches the program whatever the code page;
#   - in a console (consoleprobe.exe, built with the 64-bit tests): the five lines read right
#     under code page 936 and 1252, the progress line shows during a reading, Ctrl+C ends a
#     reading of a silent meter within a second with 130.

consoleprobe=$root/build/windows-x64/bin/consoleprobe.exe
# Wine's console needs a display to keep a screen that can be read back: an X server of our own
# when there is none.
probedisplay=${DISPLAY:-}
xvfbpid=""
if [ -z "$probedisplay" ]; then
    rm -f "$lines/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$lines/display" >/dev/null 2>&1 &
    xvfbpid=$!
    for _ in $(seq 50); do
        [ -s "$lines/display" ] && break
        sleep 0.1
    done
    probedisplay=:$(cat "$lines/display")
fi
fail() {
    echo "   FAILED: $*" >&2
    status=1
}

echo "== meterread.exe under wine: text through a pipe"
# A refusal names the text as it was typed: the command line arrived whole, and stderr is UTF-8.
refusal=$(scripts/wine.sh "$dist/meterread.exe" --type "不存在的机器" 2>&1 >/dev/null | tr -d '\r' || true)
[ "$refusal" = 'meterread: 机器类型 "不存在的机器" 不在列表中' ] ||
    fail "refusal of an unknown Chinese type: $refusal"

startsim --type 31
linux=$(build/dev/bin/meterread --port 1 --type 高速机 --device "1=$pty" || true)
stopsim
startsim --type 31
wine=$(timeout 60 scripts/wine.sh "$dist/meterread.exe" --port 1 --type 高速机 | tr -d '\r' || true)
stopsim
echo "$wine" | sed 's/^/   /'
[ -n "$linux" ] && [ "$wine" = "$linux" ] || fail "five lines differ from Linux: $linux"
startsim --type 13
json=$(timeout 60 scripts/wine.sh "$dist/meterread.exe" --port 1 --type "5400(5表头)" --json | tr -d '\r' ||
       true)
stopsim
echo "$json" | iconv -f UTF-8 -t UTF-8 >/dev/null || fail "the JSON is not UTF-8: $json"
[ "$(echo "$json" | jq -r '.type + "|" + .status')" = "5400(5表头)|read" ] ||
    fail "JSON type and status: $json"
echo "$json" | jq -r .time | grep -Eq '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2}$' ||
    fail "time without its UTC offset: $(echo "$json" | jq -r .time)"

echo "== meterread.exe under wine: in a console"
# The probe's report, without the carriage returns of the console's lines. The first console of
# a Wine session can take long to come up on a loaded machine: the probe has two minutes.
probe() {
    DISPLAY=$probedisplay timeout 120 scripts/wine.sh "$consoleprobe" "$@" | tr -d '\r' || true
}
for cp in 936 1252; do
    startsim --type 31
    out=$(probe --codepage "$cp" --after 8000 -- "$dist/meterread.exe" --port 1 --type 高速机)
    stopsim
    grep -q '^exit ' <<<"$out" || fail "code page $cp: the probe gave no report within 120 s"
    missing=0
    while IFS= read -r want; do
        grep -qxF "$want" <<<"$out" || { fail "code page $cp: the console lacks \"$want\""; missing=1; }
    done <<<"$linux"
    [ "$missing" = 0 ] || head -n 20 <<<"$out" | sed 's/^/   | /' >&2
    echo "   code page $cp: $(sed -n '/^-- screen at end/,$p' <<<"$out" | grep -c '：') result lines"
done

# A silent 5400 waits for a minute; Ctrl+C must end it within a second. Wine 8 does not let the
# other requests be tried: it delivers no Ctrl+Break from GenerateConsoleCtrlEvent (to the
# console's processes or to a process group), and a console window closed under it ends the
# program with status 0 after about 2 s without a CTRL_CLOSE_EVENT.
startsim --type 12 --silent
out=$(probe --after 20000 --until 等待 --send c -- "$dist/meterread.exe" --port 1 --type "5400(4表头)")
stopsim
code=$(sed -n 's/^exit //p' <<<"$out")
ms=$(sed -n 's/^ended_ms //p' <<<"$out")
echo "   Ctrl+C: exit $code in $ms ms"
[ "$code" = 130 ] || fail "Ctrl+C: exit $code, not 130"
[ -n "$ms" ] && [ "$ms" -lt 1000 ] || fail "Ctrl+C: ended after $ms ms"
sed -n '/^-- screen before/,/^exit/p' <<<"$out" | grep -q '正在读取 5400(4表头)：等待表头' ||
    fail "Ctrl+C: no progress line on the console"
grep -q '读取失败：读取已取消' <<<"$out" || fail "Ctrl+C: the cancelled reading is not reported"
[ -z "$xvfbpid" ] || kill "$xvfbpid" 2>/dev/null || true
