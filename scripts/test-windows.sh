#!/usr/bin/env bash
# Builds the Windows programs with mingw-w64 and tests them under Wine: the unit
# tests, the Win32 serial port against the emulated device, and a complete
# update with vzflash.exe on COM1, which Wine maps to the emulator's
# pseudo-terminal. Exits non-zero on any failure.
#   --full   also update a full-size sample package (a few minutes more)
set -euo pipefail
cd "$(dirname "$0")/.."
full=0
for arg in "$@"; do
  case "$arg" in
    --full) full=1 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done
root=$PWD
host=build/windows-host
win=build/windows
work=$root/$win/run
jobs=$(nproc)
started=$SECONDS
phase() { echo "== $1 (at $((SECONDS - started)) s)"; }

phase "install"
bash scripts/install-deps.sh --windows

phase "emulated device for Linux"
cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVZ_GUI=OFF -DVZ_TESTS=OFF \
  -DVZ_BENCH=OFF > /dev/null
cmake --build "$host" -j"$jobs" --target vzdevice
vzdevice=$root/$host/emulator/vzdevice

phase "cross build for Windows"
cmake -S . -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVZ_GUI=OFF -DVZ_BENCH=OFF > /dev/null
cmake --build "$win" -j"$jobs"

# A private Wine prefix, made once; nothing from the user's ~/.wine is used.
export WINEPREFIX=$root/$win/wineprefix WINEARCH=win64 WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  phase "Wine prefix"
  wineboot -i > /dev/null 2>&1
  wineserver -w
fi

devices=()
stop_devices() {
  for pid in "${devices[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${devices[@]}"; do wait "$pid" 2> /dev/null || true; done
  devices=()
}
cleanup() {
  stop_devices
  wineserver -k 2> /dev/null || true
}
trap cleanup EXIT

# Starts vzdevice on a new pseudo-terminal linked at $1; the rest are its options.
start_device() {
  local link=$1
  shift
  rm -f "$link"
  "$vzdevice" --link "$link" "$@" > "$link.out" 2> "$link.err" &
  devices+=($!)
  for _ in $(seq 100); do [ -e "$link" ] && return 0; sleep 0.05; done
  echo "vzdevice did not start: $(cat "$link.err")" >&2
  return 1
}

rm -rf "$work"
mkdir -p "$work"

# COM1: the device the update runs on; COM2: the one the port tests talk to.
# Wine's mount manager rewrites dosdevices/comN at every start from these
# registry values (the links to /dev/ttyS* it makes otherwise would replace a
# hand-made link), so the mapping goes through the registry.
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$work/com1" /f > /dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /d "$work/com2" /f > /dev/null 2>&1
wineserver -w
# One server for the whole run: starting Wine once per test is much faster then.
wineserver -p
wine reg query 'HKLM\Software\Wine\Ports' > /dev/null 2>&1 # starts the services, which map the ports
for n in 1 2; do
  target=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
  if [ "$target" != "$work/com$n" ]; then
    echo "Wine maps COM$n to '$target', not to $work/com$n" >&2
    exit 1
  fi
done

phase "unit tests under Wine"
start_device "$work/com2" --strict-speed --log "$work/com2.log"
VZ_WIN32_PEER_COM=2 ctest --test-dir "$win" --output-on-failure -j"$jobs" --timeout 300
stop_devices

# Wine lists the ports it maps in the registry's serial map (it holds no port
# exclusively, so "in use" cannot be seen here).
phase "vzflash.exe ports"
wine "$win/app/vzflash.exe" ports | tr -d '\r' > "$work/ports.out"
cat "$work/ports.out"
for n in 1 2; do
  grep -q "^COM$n " "$work/ports.out" || { echo "vzflash.exe ports does not list COM$n" >&2; exit 1; }
done
wine "$win/app/vzflash.exe" ports --json | tr -d '\r' | grep -q '"name": "COM1"'

# A whole update through the Win32 serial calls; the emulated device then
# compares its memories with the package.
update() {
  local name=$1
  shift
  local dir=$work/$name
  mkdir -p "$dir"
  "$vzdevice" make-package "$dir/pkg" "$@"
  start_device "$work/com1" --dump "$dir/dump" --exit-after-fi --erase-ms 0 --log "$dir/line.log"
  phase "update of the $name package with vzflash.exe on COM1"
  local status=0
  wine "$win/app/vzflash.exe" run --root "$(winepath -w "$dir/pkg")" --port 1 --timeout 60 \
    > "$dir/vzflash.out" 2> "$dir/vzflash.err" || status=$?
  cat "$dir/vzflash.out"
  stop_devices
  # Windows programs end their lines with CR LF.
  if [ "$status" -ne 0 ] || ! tr -d '\r' < "$dir/vzflash.out" | grep -qx "Program operation completed"; then
    echo "vzflash.exe failed with status $status:" >&2
    cat "$dir/vzflash.err" >&2
    return 1
  fi
  "$vzdevice" verify-dump "$dir/pkg/KRA350" "$dir/dump"
}
update small --small
[ "$full" = 1 ] && update full

# The device goes away mid-update: the run must end at once as a lost port,
# not wait for the time-out.
phase "pulled adapter"
mkdir -p "$work/hangup"
"$vzdevice" make-package "$work/hangup/pkg" --small
start_device "$work/com1" --hangup-after 300 --erase-ms 0
status=0
wine "$win/app/vzflash.exe" run --root "$(winepath -w "$work/hangup/pkg")" --port 1 --timeout 60 --quiet \
  > "$work/hangup/vzflash.out" 2> "$work/hangup/vzflash.err" || status=$?
stop_devices
if [ "$status" -ne 2 ] || ! grep -q "^Lost the port " "$work/hangup/vzflash.err"; then
  echo "a hung-up line gave status $status:" >&2
  cat "$work/hangup/vzflash.err" >&2
  exit 1
fi
cat "$work/hangup/vzflash.err"

phase "done"
echo "All Windows tests passed."
