# SPDX-License-Identifier: GPL-3.0-or-later
# The Linux metersim behind Wine's COM1, for the tests under Wine (sourced by them):
#   startsim ARGS...   runs metersim ARGS... on a pseudo-terminal, links simlink to it and sets
#                      pty to its path; simlink is the path Wine's COM1 names ($lines/com1)
#   stopsim            ends it
# Needs root, the checkout with build/dev/bin/metersim.
simpid=""
pty=""
startsim() {
    local log=${simlink:-$lines/com1}.metersim.log
    "$root/build/dev/bin/metersim" "$@" >"$log" 2>&1 &
    simpid=$!
    pty=""
    for _ in $(seq 50); do
        pty=$(head -n 1 "$log" 2>/dev/null || true)
        [ -n "$pty" ] && [ -e "$pty" ] && break
        sleep 0.1
    done
    ln -sfn "$pty" "${simlink:-$lines/com1}"
}
stopsim() {
    if [ -n "$simpid" ]; then
        kill "$simpid" 2>/dev/null || true
        wait "$simpid" 2>/dev/null || true
    fi
    simpid=""
}
