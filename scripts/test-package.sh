#!/usr/bin/env bash
# The Debian package as users get it: a clean Debian 12 root made with
# debootstrap, the .deb installed there with apt, then vzflash --version,
# vzflash ports, a sample package and a full update against vzdevice, the
# window's update on a virtual X server, and the package's removal.
# Needs root and Debian's package mirror (VZ_DEBIAN_MIRROR, default
# http://deb.debian.org/debian); the base root is kept in build/debian12-base
# and copied afresh for every run.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "the package test needs root (debootstrap, chroot)" >&2; exit 2; }
bash scripts/install-deps.sh --package
mirror=${VZ_DEBIAN_MIRROR:-http://deb.debian.org/debian}
start=$SECONDS

deb=$(bash scripts/package-deb.sh | tail -n1)
[ -f "$deb" ] || { echo "no package was made" >&2; exit 1; }

base=build/debian12-base
if [ ! -x "$base/usr/bin/apt-get" ]; then
  echo "== debootstrap of Debian 12 into $base"
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" "$mirror" > build/debootstrap.log 2>&1 ||
    { tail -n 20 build/debootstrap.log; exit 1; }
fi

root=$(mktemp -d /tmp/vz-package-root.XXXXXX)
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2> /dev/null || umount -l "${mounted[i]}" || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
cp -a "$base/." "$root/"
for fs in proc sys dev dev/pts; do
  case $fs in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sysfs "$root/sys" ;;
    *) mount --bind "/$fs" "$root/$fs" ;;
  esac
  mounted+=("$root/$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"

echo "== in the clean root: apt-get install ./$(basename "$deb")"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive \
  LANG=C.UTF-8 /bin/bash -s "$(basename "$deb")" << 'INSIDE'
set -euo pipefail
deb=/tmp/$1
apt-get update -q > /tmp/apt.log
apt-get install -y -q --no-install-recommends "$deb" >> /tmp/apt.log 2>&1 || { tail -n 30 /tmp/apt.log; exit 1; }
dpkg-query -W -f='${Package} ${Version} ${Architecture}\n  Depends: ${Depends}\n' vzupdater

for file in /usr/bin/vzflash /usr/bin/vzupdater /usr/bin/vzdevice /usr/share/applications/vzupdater.desktop \
  /usr/share/applications/vzupdater-station.desktop \
  /usr/share/icons/hicolor/64x64/apps/vzupdater.png /usr/share/doc/vzupdater/README.md \
  /usr/share/doc/vzupdater/copyright /usr/share/man/man1/vzflash.1.gz /usr/share/man/man1/vzdevice.1.gz; do
  [ -e "$file" ] || { echo "missing: $file"; exit 1; }
done
echo "installed files: in place"

# Every program names the same version; the window answers without a display.
for program in vzflash vzdevice vzupdater; do
  [ "$(env -u DISPLAY $program --version)" = "$program 2.6.0.6" ] ||
    { echo "$program --version says: $(env -u DISPLAY $program --version 2>&1)"; exit 1; }
done
echo "versions: 2.6.0.6"

echo "== vzflash ports"
vzflash ports
vzflash ports --json > /tmp/ports.json
grep -q '^\[' /tmp/ports.json

echo "== vzflash run against vzdevice"
vzdevice make-package /tmp/pkg > /dev/null
vzdevice --link /tmp/tty --dump /tmp/dump --exit-after-fi --erase-ms 0 > /tmp/device.out 2> /tmp/device.err &
device=$!
xvfb=""
trap 'kill $device $xvfb 2> /dev/null || true' EXIT
for _ in $(seq 100); do [ -e /tmp/tty ] && break; sleep 0.1; done
vzflash run --root /tmp/pkg --port /tmp/tty --timeout 30 --quiet > /tmp/run.out
tail -n 1 /tmp/run.out
wait $device
vzdevice verify-dump /tmp/pkg/KRA350 /tmp/dump | tail -n 1

echo "== the window under Xvfb, the package found in the current directory"
apt-get install -y -q --no-install-recommends xvfb xauth >> /tmp/apt.log 2>&1 || { tail -n 30 /tmp/apt.log; exit 1; }
Xvfb :7 -screen 0 800x600x24 -nolisten tcp 2> /tmp/xvfb.err &
xvfb=$!
vzdevice --link /tmp/tty2 --erase-ms 0 > /tmp/device2.out 2>&1 &
device=$!
for _ in $(seq 100); do [ -e /tmp/tty2 ] && [ -e /tmp/.X11-unix/X7 ] && break; sleep 0.1; done
cd /tmp/pkg
DISPLAY=:7 VZ_COM1=/tmp/tty2 VZ_UNATTENDED=1 timeout 150 vzupdater > /tmp/window.out 2> /tmp/window.err ||
  { cat /tmp/window.out /tmp/window.err; exit 1; }
grep -x "Program operation completed" /tmp/window.out
cd /

echo "== removal"
apt-get remove -y -q vzupdater > /dev/null
[ ! -e /usr/bin/vzflash ] || { echo "vzflash left after removal"; exit 1; }
echo "removed"
INSIDE
echo "package test passed in $((SECONDS - start)) s"
