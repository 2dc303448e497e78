#!/usr/bin/env bash
# Builds the programs (optimised as the tested build; cpack strips them)
# without tests or benchmarks and makes the Debian package
# vzupdater_<version>_<arch>.deb in build/package (its path is the last line).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVZ_TESTS=OFF -DVZ_BENCH=OFF > /dev/null
cmake --build build/package -j"$(nproc)"
rm -f build/package/vzupdater_*.deb
(cd build/package && cpack -G DEB > cpack.log) || { cat build/package/cpack.log; exit 1; }
deb=$(ls build/package/vzupdater_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Depends
echo "$deb"
