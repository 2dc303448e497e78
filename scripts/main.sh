#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: a complete update of
# the sample package's KRA350 on the emulated device, then a comparison of the
# device's memories with the package's images.
#   --paced   move bytes at the real serial speed (57600 baud; about three minutes)
#   --window  run the update in the window instead of the command line (needs a display)
set -euo pipefail
cd "$(dirname "$0")/.."
paced=()
window=0
for arg in "$@"; do
  case "$arg" in
    --paced) paced=(--baud-pacing) ;;
    --window) window=1 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
targets=(vzflash vzdevice)
[ "$window" = 1 ] && targets+=(vzupdater)
cmake --build build/release -j"$(nproc)" --target "${targets[@]}"

work=build/main-job
rm -rf "$work"
mkdir -p "$work"
build/release/emulator/vzdevice make-package "$work/pkg"

# The command line ends the device with the update ("FI"); the window stays open
# for the operator, so the device is stopped once the window has been closed.
until_fi=(--exit-after-fi)
[ "$window" = 1 ] && until_fi=()
build/release/emulator/vzdevice --link "$work/tty" --dump "$work/dump" "${until_fi[@]}" \
  --erase-ms 0 "${paced[@]}" > "$work/device.out" 2> "$work/device.err" &
device=$!
trap 'kill $device 2> /dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done

echo "== Updating the emulated KRA350 on $work/tty"
if [ "$window" = 1 ]; then
  echo "(press START in the window, then close it when the update is completed)"
  VZ_ROOT="$PWD/$work/pkg" VZ_COM1="$PWD/$work/tty" build/release/app/gui/vzupdater
  kill -TERM $device
else
  build/release/app/vzflash run --root "$work/pkg" --port "$work/tty" --timeout 30
fi
wait $device || true
trap - EXIT

echo "== The device's memories against the package's images"
build/release/emulator/vzdevice verify-dump "$work/pkg/KRA350" "$work/dump"
