#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs COMMAND where 32-bit x86 programs can run, also on a machine whose kernel runs none:
#     scripts/binfmt-i386.sh COMMAND [ARGS...]
# Wine's 32-bit loader is a 32-bit Linux program. Where the kernel cannot start it, a handler
# for 32-bit x86 programs in binfmt_misc lets user-mode emulation (Debian's qemu-user-static)
# run it instead: registered under a name of our own, meterreader-i386, with the F flag (the
# emulator is opened once, at registration), for as long as COMMAND runs, and removed again
# however the run ends: COMMAND's success or failure, Ctrl+C, TERM or HUP. A handler of
# another name is never touched, and neither is one of our name that this run did not register.
# binfmt_misc is mounted when it is not; a mount made here goes again once it holds no handler.
#
# COMMAND learns what it got from METERREADER_I386: native (the kernel runs 32-bit programs),
# emulated (our handler), or none, with the reason in METERREADER_I386_WHY. Where registering is
# impossible (not root, no binfmt_misc, no emulator) COMMAND runs all the same, and this says
# so loudly: it is for COMMAND to keep its 64-bit stand-ins and say so.
# Exit status: COMMAND's; 128+N when the run was ended by signal N.
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }

name=meterreader-i386
dir=/proc/sys/fs/binfmt_misc
emulator=/usr/bin/qemu-i386-static
# ELF, 32-bit, little-endian, version 1, any ABI; executable or shared object; machine 3 (i386).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

say() { printf '== 32-bit programs: %s\n' "$*" >&2; }
loud() {
    printf '\n!! 32-bit programs: %s\n!! ' "$1" >&2
    shift
    printf '%s\n!! ' "$@" >&2
    printf '\n' >&2
}

# Whether Wine's 32-bit loader starts (the one 32-bit program every Windows check needs).
runs32() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

registered=0
mounted=0
child=""
cleanup() {
    if [ "$registered" = 1 ]; then
        if [ -e "$dir/$name" ]; then
            echo -1 >"$dir/$name" 2>/dev/null || say "could not remove $dir/$name"
        fi
        [ -e "$dir/$name" ] || say "handler $name removed"
        registered=0
    fi
    if [ "$mounted" = 1 ]; then
        # Only register and status left: no handler of anyone's.
        if [ "$(find "$dir" -mindepth 1 -maxdepth 1 | wc -l)" -le 2 ]; then
            umount "$dir" 2>/dev/null || true
        fi
        mounted=0
    fi
}
# A signal ends COMMAND first (it may hold Wine's 32-bit processes), then the handler.
ended() {
    trap '' INT TERM HUP
    if [ -n "$child" ]; then
        kill -s TERM "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    cleanup
    exit $((128 + $1))
}
trap cleanup EXIT
trap 'ended 2' INT
trap 'ended 15' TERM
trap 'ended 1' HUP

export METERREADER_I386=none METERREADER_I386_WHY=""
if runs32; then
    METERREADER_I386=native
    say "the kernel runs them (or a handler of the machine's own does): nothing registered"
elif [ -e "$dir/$name" ]; then
    # Another run's, or one left by a run that was killed outright: used, never removed here.
    METERREADER_I386=emulated
    loud "a handler named $name is already registered, not by this run: it is used and left" \
         "in place. If no other run is going on, remove it with:" \
         "    echo -1 > $dir/$name"
else
    why=""
    if [ "$(id -u)" -ne 0 ]; then
        why="registering a binfmt_misc handler needs root"
    elif [ ! -x "$emulator" ]; then
        why="$emulator is missing (Debian's qemu-user-static)"
    else
        if [ ! -e "$dir/register" ]; then
            if mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null; then
                mounted=1
            fi
        fi
        if [ ! -e "$dir/register" ]; then
            why="binfmt_misc cannot be mounted at $dir (a container without it?)"
        elif ! echo ":$name:M::$magic:$mask:$emulator:F" >"$dir/register" 2>/dev/null; then
            why="the kernel refused the handler (binfmt_misc is read-only here?)"
        else
            registered=1
            say "handler $name registered: 32-bit programs run under $emulator"
            if runs32; then
                METERREADER_I386=emulated
            else
                why="Wine's 32-bit loader does not start even under $emulator (wine32 missing?)"
                cleanup
            fi
        fi
    fi
    if [ -n "$why" ]; then
        METERREADER_I386_WHY=$why
        loud "this machine cannot run them: $why." \
             "The 32-bit vendor helper and library are NOT tried here; 64-bit stand-ins are."
    fi
fi

# COMMAND in the background, so that a signal reaches the traps at once, with the standard
# input and the default handling of Ctrl+C that a foreground command would have.
env --default-signal=INT,QUIT "$@" <&0 &
child=$!
wait "$child"
status=$?
child=""
exit "$status"
