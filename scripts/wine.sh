#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows program under Wine:   scripts/wine.sh PROGRAM.exe [ARGS...]
# Debian's `wine` starts the 32-bit loader whenever wine32 is installed, and a machine whose
# kernel runs no 32-bit programs (some virtual machines) cannot start that loader at all, not
# even for a 64-bit program. So the 64-bit loader is used directly; it hands a 32-bit program on
# to the 32-bit loader itself (WINELOADER names it, with "64" left off), which then needs a
# kernel that runs 32-bit programs or user-mode emulation (scripts/binfmt-i386.sh): under
# emulation every start of the 32-bit loader costs about a minute, so only 32-bit programs
# should pay it. `scripts/wine.sh --can-run-32-bit` says whether 32-bit programs can run
# (exit 0: they can).
set -euo pipefail
if [ "${1:-}" = --can-run-32-bit ]; then
    /usr/lib/wine/wine --version >/dev/null 2>&1
    exit
fi
if [ -x /usr/lib/wine/wine64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
else
    export WINELOADER=/usr/lib/wine/wine
fi
[ -n "${WINEDEBUG:-}" ] || export WINEDEBUG=fixme-all
exec "$WINELOADER" "$@"
