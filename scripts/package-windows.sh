#!/usr/bin/env bash
# Makes the Windows releases from the mingw cross build (which it brings up to
# date), both from the same files:
#   vzupdater-VERSION-windows-x64.zip  vzupdater.exe, vzflash.exe, README.txt, the
#                                      licence texts and the small sample package
#   vzupdater-VERSION-x64.msi          the installer for plants (wixl): the same
#                                      files without the sample package
#   package-windows.sh [--version V] [OUT_DIR]     default OUT_DIR: build/windows
# --version gives the installer another version (four numbers) and makes only
# it, for trying an upgrade; the programs in it are the same.
# Prints the paths of what it made, one a line.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win=build/windows
version=$(sed -n 's/^project(vzupdater VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi_version=$version
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --version) msi_version=$2; shift ;;
    *) out=$1 ;;
  esac
  shift
done
out=$(realpath -m "${out:-$root/$win}")
# Windows Installer reads at most 255.255.65535; the fourth number it ignores.
if ! [[ $msi_version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] ||
  [ "${BASH_REMATCH[1]}" -gt 255 ] || [ "${BASH_REMATCH[2]}" -gt 255 ] || [ "${BASH_REMATCH[3]}" -ge 65535 ]; then
  echo "not an installer version: $msi_version" >&2
  exit 2
fi
# The first version the installer refuses to replace (see packaging/windows/vzupdater.wxs).
next_version=${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((BASH_REMATCH[3] + 1))
name=vzupdater-$version-windows-x64

# The window is on: a build directory made before the Win32 window may have it off.
cmake -S . -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVZ_GUI=ON -DVZ_BENCH=OFF > /dev/null
cmake --build "$win" -j"$(nproc)" --target vzupdater vzflash > /dev/null

stage=$root/$win/package
rm -rf "$stage"
mkdir -p "$stage/$name" "$stage/msi" "$out"
cp "$win/app/win32/vzupdater.exe" "$win/app/vzflash.exe" "$stage/$name/"
# Windows' own line ends, for Notepad. The licence of what is compiled into the
# programs: CLI11 (vzflash.exe) and the mingw-w64 runtime, with its threads library.
crlf() { sed 's/\r*$/\r/' "$@"; }
crlf packaging/windows/README.txt > "$stage/$name/README.txt"
crlf packaging/copyright > "$stage/$name/LICENSE.txt"
{
  echo "The programs contain code of these libraries, under the licences below."
  for package in libcli11-dev mingw-w64-x86-64-dev; do
    printf '\n%s\n\n' "==== $package (as Debian distributes it)"
    cat "/usr/share/doc/$package/copyright"
  done
} | crlf > "$stage/$name/THIRD-PARTY.txt"
cp "$stage/$name/"*.exe "$stage/$name/"*.txt "$stage/msi/"
cp -r examples/sample-small/. "$stage/$name/"

if [ "$msi_version" = "$version" ]; then
  rm -f "$out/$name.zip"
  (cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
  echo "$out/$name.zip"
fi

# wixl takes the files' paths relative to where it runs.
cp app/face_data/icon/vzupdater.ico "$stage/msi/"
msi=$out/vzupdater-$msi_version-x64.msi
rm -f "$msi"
(cd "$stage/msi" && wixl -a x64 -D Version="$msi_version" -D NextVersion="$next_version" -D SourceDir=. \
  -D IconFile=vzupdater.ico -o "$msi" "$root/packaging/windows/vzupdater.wxs")
echo "$msi"
