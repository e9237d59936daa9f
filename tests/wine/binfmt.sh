#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/binfmt-i386.sh leaves no handler of ours in binfmt_misc however the run ends (the
# command fails, TERM to the script alone, Ctrl+C to the whole process group), passes the
# command's status on, and never touches a handler it did not register: another name, or our
# name registered before it started. Needs root and qemu-user-static; says why when it skips.
# Called by scripts/test-windows.sh before the handler is registered for its own run.
set -uo pipefail
cd "$(dirname "$0")/../.."
dir=/proc/sys/fs/binfmt_misc
ours=$dir/meterreader-i386
failures=0
fail() {
    echo "   binfmt FAILED: $*" >&2
    failures=$((failures + 1))
}

if [ "$(id -u)" -ne 0 ] || [ ! -x /usr/bin/qemu-i386-static ]; then
    echo "== binfmt handler: skipped (needs root and qemu-user-static)"
    exit 0
fi
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "== binfmt handler: skipped (32-bit programs run here without one of ours)"
    exit 0
fi
if [ -e "$ours" ]; then
    fail "$ours is registered before the test (another run going on?)"
    exit 1
fi

# A COMMAND for the script that says when the handler is there, then waits to be ended.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
waiter="[ -e $ours ] && touch $probe/seen; exec sleep 117"

# start HOW: runs the script around the waiter; HOW is "term" (TERM to the script alone) or
# "int" (INT to its process group, as Ctrl+C does). Sets rc.
interrupt() {
    rm -f "$probe/seen"
    setsid scripts/binfmt-i386.sh sh -c "$waiter" 2>/dev/null &
    local pid=$!
    for _ in $(seq 100); do [ -e "$probe/seen" ] && break; sleep 0.1; done
    [ -e "$probe/seen" ] || fail "$1: the command never saw the handler"
    case $1 in
    term) kill -TERM "$pid" ;;
    int) kill -INT -- "-$pid" ;;
    esac
    # A script that does not end leaves the test to the outer time-out.
    timeout 30 tail --pid="$pid" -f /dev/null
    wait "$pid"
    rc=$?
}

started=$SECONDS
# The command's own end, then the two interruptions: status, and no handler left.
scripts/binfmt-i386.sh sh -c "[ -e $ours ] || exit 9; exit 3" 2>/dev/null
rc=$?
[ "$rc" = 3 ] || fail "a failing command: status $rc, not 3 (9: no handler while it ran)"
[ ! -e "$ours" ] || fail "a failing command left $ours"
for how in term:143 int:130; do
    interrupt "${how%:*}"
    [ "$rc" = "${how#*:}" ] || fail "${how%:*}: status $rc, not ${how#*:}"
    [ ! -e "$ours" ] || fail "${how%:*}: the interrupted run left $ours"
done
pgrep -fx "sleep 117" >/dev/null && fail "an interrupted command was left running"

# Handlers that are not this run's: another name, and our name registered beforehand (a run
# killed outright). Both are still there afterwards; then the test removes its own.
mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null
other=meterreader-test-other
echo ":$other:M::MRTESTMAGIC::/bin/false:" >"$dir/register"
scripts/binfmt-i386.sh true 2>/dev/null
[ -e "$dir/$other" ] || fail "the handler $other was removed"
echo ":meterreader-i386:M::MRTESTMAGIC2::/bin/false:" >"$dir/register"
scripts/binfmt-i386.sh true 2>/dev/null
[ -e "$ours" ] || fail "a handler of our name, registered before the run, was removed"
echo -1 >"$dir/$other"
echo -1 >"$ours"
umount "$dir" 2>/dev/null || true

if [ "$failures" -ne 0 ]; then
    echo "== binfmt handler: $failures FAILED" >&2
    exit 1
fi
echo "== binfmt handler: none left after a failure, TERM or Ctrl+C; others' untouched ($((SECONDS - started)) s)"
