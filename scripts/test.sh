#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the normal build, address + undefined sanitizers, the thread sanitizer on the
# threaded code, a short fuzzing run of every target, and the formatting check.
#   FUZZ_SECONDS=N   seconds per fuzz target (default 30)
#   --windows        also cross-build for Windows and run the tests and an update under Wine
#   --package        also build the Debian package and test it in a clean Debian 12 root (root
#                    only; a few minutes; needs Debian's package mirror)
set -euo pipefail
cd "$(dirname "$0")/.."
windows=0
package=0
for arg in "$@"; do
  case "$arg" in
    --windows) windows=1 ;;
    --package) package=1 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done
bash scripts/install-deps.sh
jobs=$(nproc)

echo "== normal build"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVZ_WERROR=ON
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs" --timeout 600

echo "== address and undefined sanitizers"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVZ_SANITIZE=address -DVZ_WERROR=ON -DVZ_GUI=OFF -DVZ_BENCH=OFF
cmake --build build/asan -j"$jobs"
ctest --test-dir build/asan --output-on-failure -j"$jobs" --timeout 900 -LE nosan

echo "== thread sanitizer (the link thread, the device and the updater as processes)"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVZ_SANITIZE=thread -DVZ_WERROR=ON -DVZ_GUI=OFF -DVZ_BENCH=OFF
cmake --build build/tsan -j"$jobs" --target vz_link_thread_tests vz_link_pty_tests vz_emulator_pty_tests \
  vz_e2e_tests
ctest --test-dir build/tsan --output-on-failure -j"$jobs" --timeout 900 -L threads

echo "== plain Release build, as a user or a packager makes it (warnings still fail here)"
cmake -S . -B build/plain-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVZ_WERROR=ON -DVZ_TESTS=OFF -DVZ_BENCH=OFF
cmake --build build/plain-release -j"$jobs"

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

if [ "$windows" = 1 ]; then
  echo "== Windows build under Wine"
  bash scripts/test-windows.sh
fi

if [ "$package" = 1 ]; then
  echo "== the Debian package in a clean Debian 12 root"
  bash scripts/test-package.sh
fi

echo "All tests passed."
