#!/usr/bin/env bash
# The station window's test on a virtual X server (the toolkit's offscreen
# platform when Xvfb is not installed).
#   xvfb_station.sh TEST [PICTURE]
set -euo pipefail

test_program=$1
picture=${2:-}
export VZ_STATION_PICTURE=$picture

if ! command -v Xvfb >/dev/null 2>&1; then
    QT_QPA_PLATFORM=offscreen exec "$test_program"
fi

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display number and writes it to descriptor 5.
Xvfb -displayfd 5 -screen 0 1366x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.err" &
xvfb_pid=$!
for _ in $(seq 200); do
    [[ -s $work/display ]] && break
    sleep 0.1
done
[[ -s $work/display ]] || { echo "Xvfb did not start"; cat "$work/xvfb.err"; exit 1; }

DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb "$test_program"
