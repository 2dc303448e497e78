#!/usr/bin/env bash
# One update of the emulated device through the real window on a virtual X
# server: a small sample package, vzdevice on a pseudo-terminal, vzupdater run
# unattended against it. Passes when the window reports the completed run.
#   xvfb_e2e.sh VZUPDATER VZDEVICE [PICTURE]
# PICTURE: where to keep the picture of the window taken half-way through.
# Exits 77 (skipped) when Xvfb is not installed.
set -euo pipefail

updater=$1
device=$2
picture=${3:-}

if ! command -v Xvfb >/dev/null 2>&1; then
    echo "Xvfb is not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
xvfb_pid=""
device_pid=""
cleanup() {
    [[ -n $device_pid ]] && kill "$device_pid" 2>/dev/null || true
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to 20 s for a command to succeed.
wait_for() {
    for _ in $(seq 200); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

"$device" make-package "$work/pkg" --small

# The server picks a free display number and writes it to descriptor 5.
Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.err" &
xvfb_pid=$!
wait_for test -s "$work/display" || { echo "Xvfb did not start"; cat "$work/xvfb.err"; exit 1; }
display=":$(head -n1 "$work/display")"

"$device" --link "$work/tty" >"$work/device.out" 2>"$work/device.err" &
device_pid=$!
wait_for test -e "$work/tty" || { echo "vzdevice did not start"; cat "$work/device.err"; exit 1; }

status=0
DISPLAY=$display QT_QPA_PLATFORM=xcb VZ_ROOT="$work/pkg" VZ_COM1="$work/tty" VZ_UNATTENDED=1 \
    VZ_SNAPSHOT="$work/window.png" timeout 150 "$updater" >"$work/updater.out" 2>"$work/updater.err" ||
    status=$?
cat "$work/updater.out"

if [[ $status -ne 0 ]]; then
    echo "vzupdater ended with status $status"
    cat "$work/updater.err"
    exit 1
fi
if ! grep -qx "Program operation completed" "$work/updater.out"; then
    echo "the run did not complete"
    exit 1
fi
if [[ ! -s $work/window.png ]] || [[ $(head -c 8 "$work/window.png" | od -An -tx1 | tr -d ' \n') != 89504e470d0a1a0a ]]; then
    echo "no picture of the window was taken half-way through the run"
    exit 1
fi
if [[ -n $picture ]]; then cp "$work/window.png" "$picture"; fi
echo "run completed through the window"
