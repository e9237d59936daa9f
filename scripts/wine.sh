#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows program under Wine:   scripts/wine.sh PROGRAM.exe [ARGS...]
# Debian's `wine` starts the 32-bit loader whenever wine32 is installed, and a machine whose
# kernel runs no 32-bit programs (some virtual machines) cannot start that loader at all, not
# even for a 64-bit program. There the 64-bit loader is used directly, and 32-bit programs
# cannot run. `scripts/wine.sh --can-run-32-bit` says which (exit 0: they can).
set -euo pipefail
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    loader=/usr/lib/wine/wine
else
    loader=/usr/lib/wine/wine64
    export WINELOADER=$loader
fi
if [ "${1:-}" = --can-run-32-bit ]; then
    [ "$loader" = /usr/lib/wine/wine ]
    exit
fi
[ -n "${WINEDEBUG:-}" ] || export WINEDEBUG=fixme-all
exec "$loader" "$@"
