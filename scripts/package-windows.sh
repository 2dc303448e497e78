#!/usr/bin/env bash
# Makes the operators' release for Windows: vzupdater-VERSION-windows-x64.zip
# with vzupdater.exe, vzflash.exe, README.txt and the small sample package,
# from the mingw cross build (which it brings up to date).
#   package-windows.sh [OUT_DIR]     default: build/windows
# Prints the path of the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win=build/windows
out=${1:-$root/$win}
version=$(sed -n 's/^project(vzupdater VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=vzupdater-$version-windows-x64

# The window is on: a build directory made before the Win32 window may have it off.
cmake -S . -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVZ_GUI=ON -DVZ_BENCH=OFF > /dev/null
cmake --build "$win" -j"$(nproc)" --target vzupdater vzflash > /dev/null

stage=$root/$win/package
rm -rf "$stage"
mkdir -p "$stage/$name" "$out"
cp "$win/app/win32/vzupdater.exe" "$win/app/vzflash.exe" "$stage/$name/"
# Windows' own line ends, for Notepad.
sed 's/$/\r/' packaging/windows/README.txt > "$stage/$name/README.txt"
cp -r examples/sample-small/. "$stage/$name/"
rm -f "$out/$name.zip"
(cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
echo "$out/$name.zip"
