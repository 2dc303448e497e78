#!/usr/bin/env bash
# Installs what is missing, builds, and runs the updater's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j"$(nproc)" --target vzflash

work=build/main-job
mkdir -p "$work"
cat > "$work/a.svf" <<'SVF'
// Read the first PROM's identification
STATE RESET;
SIR 8 TDI (fe);
SDR 16 TDI (1234) TDO (abcd);
SVF
echo "== What the device would be sent for $work/a.svf"
build/release/app/vzflash effect "$work/a.svf"
