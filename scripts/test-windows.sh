#!/usr/bin/env bash
# Builds the Windows programs with mingw-w64 and tests them under Wine: the unit
# tests, the Win32 serial port against the emulated device, a complete update
# with vzflash.exe on COM1, which Wine maps to the emulator's pseudo-terminal,
# and the window vzupdater.exe of the release zip on a virtual X server, driven
# by mouse and keyboard as an operator would, and the installer (MSI) installed,
# upgraded, used and removed as plant IT would, in a Wine prefix of its own.
# Exits non-zero on any failure.
#   --full           also update a full-size sample package (a few minutes more)
#   --pictures DIR   keep the window's pictures there (docs/ holds the last ones)
# VZ_WINDOWS_ONLY=operator runs only the operator's block at the end (the port
# above COM9, the keyboard, closing mid-update, a 144-DPI screen), building only
# what it needs; VZ_WINDOWS_ONLY=station only the station window's.
set -euo pipefail
only=${VZ_WINDOWS_ONLY:-}
cd "$(dirname "$0")/.."
full=0
pictures=""
while [ $# -gt 0 ]; do
  case "$1" in
    --full) full=1 ;;
    --pictures) pictures=$(realpath "$2"); shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
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
  -DCMAKE_BUILD_TYPE=Release -DVZ_WERROR=ON -DVZ_GUI=ON -DVZ_BENCH=OFF > /dev/null
cmake --build "$win" -j"$jobs" ${only:+--target vzupdater vzflash vz_window_text}

# A private Wine prefix, made once; nothing from the user's ~/.wine is used.
export WINEPREFIX=$root/$win/wineprefix WINEARCH=win64 WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  phase "Wine prefix"
  wineboot -i > /dev/null 2>&1
  wineserver -w
fi
# Debian's Wine does not find the fonts of fonts-wine by itself ("MS Sans
# Serif", Tahoma, Marlett for the caption buttons); it takes them from the
# prefix's font folder.
for font in /usr/share/wine/fonts/*; do
  [ -e "$WINEPREFIX/drive_c/windows/Fonts/${font##*/}" ] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
# There is no window manager on the virtual display: Wine draws the title bar
# and the frame itself, as Windows does.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f > /dev/null 2>&1

# The virtual X server for the window; the unit tests measure captions on it too.
xvfb_pid=""
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5> "$root/$win/xvfb.display" 2> "$root/$win/xvfb.err" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$root/$win/xvfb.display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$root/$win/xvfb.display")"

devices=()
stop_devices() {
  for pid in "${devices[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${devices[@]}"; do wait "$pid" 2> /dev/null || true; done
  devices=()
}
cleanup() {
  stop_devices
  wineserver -k 2> /dev/null || true
  WINEPREFIX=$root/$win/wineprefix-msi wineserver -k 2> /dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null || true
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
# It lists its objects whenever a device's terminal hangs up: into its own log.
wineserver -p > "$root/$win/wineserver.log" 2>&1
wine reg query 'HKLM\Software\Wine\Ports' > /dev/null 2>&1 # starts the services, which map the ports
for n in 1 2; do
  target=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
  if [ "$target" != "$work/com$n" ]; then
    echo "Wine maps COM$n to '$target', not to $work/com$n" >&2
    exit 1
  fi
done

if [ -z "$only" ]; then
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
fi # VZ_WINDOWS_ONLY

# The station: two devices at once on COM1 and COM2, one failing, each recorded.
phase "vzflash.exe station on COM1 and COM2"
mkdir -p "$work/station"
"$vzdevice" make-package "$work/station/pkg" --small
start_device "$work/com1" --dump "$work/station/dump" --erase-ms 0
start_device "$work/com2" --erase-ms 0 --fault-x bank:3
status=0
wine "$win/app/vzflash.exe" station --root "$(winepath -w "$work/station/pkg")" --port COM1 --port COM2 \
  --count 1 --timeout 60 --report "$(winepath -w "$work/station/report.jsonl")" \
  > "$work/station/vzflash.out" 2> "$work/station/vzflash.err" || status=$?
stop_devices
tr -d '\r' < "$work/station/vzflash.out" | grep -E ": (Completed|Failed)" || true
if [ "$status" -ne 1 ] || [ "$(grep -c '"result": "completed"' "$work/station/report.jsonl")" -ne 1 ] ||
  ! grep -q '"port": "COM2", "label": null, "result": "failed"' "$work/station/report.jsonl"; then
  echo "vzflash.exe station gave status $status:" >&2
  cat "$work/station/vzflash.err" "$work/station/report.jsonl" >&2
  exit 1
fi
"$vzdevice" verify-dump "$work/station/pkg/KRA350" "$work/station/dump"

# The release, unpacked: what is shipped is what is tested.
phase "release zip"
made=$(bash scripts/package-windows.sh "$work")
zip=$(grep '\.zip$' <<< "$made")
msi=$(grep '\.msi$' <<< "$made")
cmake -E make_directory "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
release=$work/unpacked/$(basename "$zip" .zip)
for file in vzupdater.exe vzflash.exe README.txt LICENSE.txt THIRD-PARTY.txt KRA350/script.ini; do
  [ -f "$release/$file" ] || { echo "the zip lacks $file" >&2; exit 1; }
done
window_text=$root/$win/tests/win32/vz_window_text.exe
title="Zentrik Vorna-Zadod Updater"

# Waits up to $1 seconds for the rest of the line to succeed.
wait_until() {
  local limit=$1
  shift
  for _ in $(seq $((limit * 10))); do
    "$@" > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
# What the window whose title begins with $1 shows, one text a line.
shown() { wine "$window_text" "$1" | tr -d '\r'; }
memo_has() { shown "$title" | grep -qx "$1"; }
# Clicks at ($1, $2) of the window's client area.
window=""
click() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # Wine's frame: as wide on every side, the title bar and the menu bar above.
  local border=$(((WIDTH - 526) / 2))
  xdotool mousemove $((X + border + $1)) $((Y + HEIGHT - border - 221 + $2)) click 1
}
picture() {
  local file=$1
  eval "$(xdotool getwindowgeometry --shell "$2")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/$file"
  [ -n "$pictures" ] && cp "$work/$file" "$pictures/$file"
  return 0
}
# Starts the zip's vzupdater.exe in its own folder and finds its window.
updater_pid=""
start_window() {
  (cd "$release" && exec wine ./vzupdater.exe > "$1" 2>&1) &
  updater_pid=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "^$title" | head -n1)
  [ -n "$window" ] || { echo "the window did not appear" >&2; return 1; }
}
# Closes the window by its close box, as an operator does, and waits for the program to end.
# With "yes", an update is running: the question that follows is answered Yes.
close_window() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + WIDTH - 12)) $((Y + 12)) click 1
  if [ "${1:-}" = yes ]; then
    local question
    question=$(timeout 10 xdotool search --sync --onlyvisible --name '^Update running$' | head -n1)
    [ -n "$question" ] || { echo "closing during an update asked nothing" >&2; return 1; }
    sleep 0.3
    xdotool key alt+y
  fi
  for _ in $(seq 100); do kill -0 "$updater_pid" 2> /dev/null || break; sleep 0.1; done
  if kill -0 "$updater_pid" 2> /dev/null; then echo "the window did not close" >&2; return 1; fi
  wait "$updater_pid" || { echo "vzupdater.exe ended with status $?" >&2; return 1; }
}
# Answers the box $1 as an operator whose window was active: a click on its
# title bar, then Enter on its OK button.
ok_button() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 8)) click 1
  sleep 0.5
  xdotool key Return
}

if [ -z "$only" ]; then
phase "update through the window of the zip, START clicked"
dir=$work/window
mkdir -p "$dir"
start_device "$work/com1" --dump "$dir/dump" --erase-ms 0 --log "$dir/line.log"
start_window "$dir/vzupdater.out"
click 264 193 # START
wait_until 30 memo_has "Upload Bank4" || { echo "the run did not get under way:" >&2; shown "$title" >&2; exit 1; }
picture windows-run.png "$window"
if ! wait_until 60 memo_has "Program operation completed"; then
  echo "the run did not complete:" >&2
  shown "$title" >&2
  exit 1
fi
wait_until 5 memo_has "Click on button START to begin program operation"
picture windows-done.png "$window"
shown "$title"
# The about box, through the keyboard: Alt+A, then its item's key.
click 264 60
xdotool key alt+a a
about=$(timeout 10 xdotool search --sync --onlyvisible --name '^About "Zentrik' | head -n1)
[ -n "$about" ] || { echo "the about box did not open" >&2; exit 1; }
picture windows-about.png "$about"
shown 'About "' | grep -qx "Version : 2.6.0.6" || { echo "the about box shows:" >&2; shown 'About "' >&2; exit 1; }
echo "about box: Version : 2.6.0.6"
xdotool key Return
wait_until 5 sh -c "! wine '$window_text' 'About \"'" || { echo "the about box did not close" >&2; exit 1; }
# Manual mode opens the component selection dialog: Alt+M, then its item's key.
xdotool key alt+m m
components=$(timeout 10 xdotool search --sync --onlyvisible --name '^Component Selection$' | head -n1)
[ -n "$components" ] || { echo "the component selection dialog did not open" >&2; exit 1; }
sleep 0.3
picture windows-components.png "$components"
shown "Component Selection" | grep -qx "Keyb 350" || { echo "the dialog shows:" >&2; shown "Component Selection" >&2; exit 1; }
xdotool key Return
wait_until 5 sh -c "! wine '$window_text' 'Component Selection'" || { echo "the dialog did not close" >&2; exit 1; }
close_window
stop_devices # the device writes its memories as it ends
"$vzdevice" verify-dump "$release/KRA350" "$dir/dump"

# The device hangs up during the run: the link's box appears while the window
# stays usable; STOP ends the run, and after OK the box does not come back.
phase "hung-up line through the window"
dir=$work/window-hangup
mkdir -p "$dir"
start_device "$work/com1" --hangup-after 300 --erase-ms 0
start_window "$dir/vzupdater.out"
click 264 193 # START
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^Error$' | head -n1)
[ -n "$box" ] || { echo "no box after the line was hung up" >&2; exit 1; }
sleep 0.3
# A hung-up line is a lost port; opening it again then fails. Either box names the port.
shown Error | grep -q -e "^Lost the port .*COM1" -e "^Error while opening .*COM1" ||
  { echo "the box shows:" >&2; shown Error >&2; exit 1; }
picture windows-open-failure.png "$window"
click 264 193 # STOP
if ! wait_until 10 memo_has "Click on button START to begin program operation"; then
  echo "STOP did not end the run:" >&2
  shown "$title" >&2
  exit 1
fi
shown "$title" | grep -qx START || { echo "START is not back after STOP" >&2; exit 1; }
ok_button "$box"
# Asked of the system, not of X: Wine leaves a closed box's X window mapped.
wait_until 5 sh -c "! wine '$window_text' Error" || { echo "the box stayed after STOP and OK" >&2; exit 1; }
sleep 1
if wine "$window_text" Error > /dev/null 2>&1; then
  echo "the box came back after STOP and OK" >&2
  exit 1
fi
echo "hung-up line: box shown, STOP ended the run, OK closed the box"
close_window
stop_devices

# Closing the window while the link thread waits in its box must still end the program.
phase "window closed while the link's box is up"
start_device "$work/com1" --hangup-after 300 --erase-ms 0
start_window "$dir/vzupdater-closed.out"
# START from the keyboard this time: a click on the form beside the bars, Tab to the button, Space.
click 8 118
xdotool key Tab space
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^Error$' | head -n1)
[ -n "$box" ] || { echo "no box after the line was hung up" >&2; exit 1; }
close_window yes
echo "closed with the box up: the program ended"
stop_devices
fi # VZ_WINDOWS_ONLY

source scripts/test-windows-station.sh
if [ -z "$only" ] || [ "$only" = station ]; then station_window_test; fi
[ "$only" = station ] && { phase "done"; echo "The station window's tests passed."; exit 0; }

# ---------------------------------------------------------------------------
# The operator's hands: a USB adapter's port above COM9 chosen in the Port menu,
# the window driven from the keyboard alone, the close box and Alt+F4 during an
# update, and a 144-DPI screen.
operator_hands() {
  local dir=$work/operator
  mkdir -p "$dir"
  # COM12 joins the ports the mount manager maps; it reads them as its services start.
  wineserver -k 2> /dev/null || true
  wineserver -w
  wine reg add 'HKLM\Software\Wine\Ports' /v COM12 /d "$work/com12" /f > /dev/null 2>&1
  wineserver -w
  wineserver -p >> "$root/$win/wineserver.log" 2>&1
  wine reg query 'HKLM\Software\Wine\Ports' > /dev/null 2>&1
  [ "$(readlink "$WINEPREFIX/dosdevices/com12" || true)" = "$work/com12" ] ||
    { echo "Wine does not map COM12 to $work/com12" >&2; return 1; }
  wine "$win/app/vzflash.exe" ports | tr -d '\r' > "$dir/ports.out"
  grep -q "^COM12 " "$dir/ports.out" || { echo "vzflash.exe ports does not list COM12:" >&2; cat "$dir/ports.out" >&2; return 1; }
  # The window's Port menu lists the same ports; COM12 is its last item unless a higher one exists.
  [ "$(grep -o '^COM[0-9]*' "$dir/ports.out" | sort -t M -k2n | tail -n1)" = COM12 ] ||
    { echo "a port above COM12 is mapped; the test takes the menu's last item" >&2; return 1; }

  phase "COM12 from the Port menu, START from the keyboard"
  # The device is on COM12 only: the run completes only if the chosen port reached the link.
  start_device "$work/com12" --dump "$dir/dump" --erase-ms 400 --log "$dir/line.log"
  start_window "$dir/vzupdater.out"
  # The window made active by its title bar, as after a click on the taskbar: no control is clicked.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  local width96=$WIDTH height96=$HEIGHT
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 8)) click 1
  wait_until 5 sh -c "[ \"\$(wine '$window_text' --focus '$title' | tr -d '\r')\" = START ]" ||
    { echo "START does not hold the focus when the window opens" >&2; return 1; }
  # Alt+P opens the Port menu; Up goes round to its last item, COM12.
  xdotool key alt+p
  sleep 1
  xdotool key Up Return
  sleep 0.3
  xdotool key Return # START
  wait_until 30 memo_has "Upload Bank1" || { echo "Enter did not start a run on COM12:" >&2; shown "$title" >&2; return 1; }
  # The close box during the update: the question, No by default; Enter keeps the run going.
  xdotool key alt+F4
  local question
  question=$(timeout 10 xdotool search --sync --onlyvisible --name '^Update running$' | head -n1)
  [ -n "$question" ] || { echo "Alt+F4 during the update asked nothing" >&2; return 1; }
  sleep 0.3
  shown "Update running" | grep -q "^An update is running. Closing now stops it and leaves the device partly updated. Close anyway?" ||
    { echo "the question reads:" >&2; shown "Update running" >&2; return 1; }
  picture windows-close-question.png "$window"
  xdotool key Return # No, the default
  wait_until 5 sh -c "! wine '$window_text' 'Update running'" || { echo "the question did not close" >&2; return 1; }
  wait_until 60 memo_has "Program operation completed" || { echo "the run did not go on after No:" >&2; shown "$title" >&2; return 1; }
  wait_until 5 memo_has "Click on button START to begin program operation"
  [ "$(wine "$window_text" --focus "$title" | tr -d '\r')" = START ] ||
    { echo "START lost the focus during the run" >&2; return 1; }
  # The about box from the keyboard; when it closes, START has the focus again.
  xdotool key alt+a a
  wait_until 10 wine "$window_text" 'About "' || { echo "the about box did not open" >&2; return 1; }
  xdotool key Return
  wait_until 5 sh -c "! wine '$window_text' 'About \"'" || { echo "the about box did not close" >&2; return 1; }
  [ "$(wine "$window_text" --focus "$title" | tr -d '\r')" = START ] ||
    { echo "START does not hold the focus after the about box" >&2; return 1; }
  # Idle, Alt+F4 closes at once.
  xdotool key alt+F4
  for _ in $(seq 100); do kill -0 "$updater_pid" 2> /dev/null || break; sleep 0.1; done
  if kill -0 "$updater_pid" 2> /dev/null; then echo "Alt+F4 did not close the idle window" >&2; return 1; fi
  wait "$updater_pid" || { echo "vzupdater.exe ended with status $?" >&2; return 1; }
  stop_devices
  "$vzdevice" verify-dump "$release/KRA350" "$dir/dump"
  echo "COM12 chosen from the keyboard, the update completed; Alt+F4 asked first and No kept it going"

  phase "Read Id from the keyboard"
  # readid.ini in the window's folder shows Read Id and Quit.
  start_device "$work/com12" --erase-ms 0
  : > "$release/readid.ini"
  start_window "$dir/vzupdater-readid.out"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 8)) click 1
  sleep 0.3
  xdotool key alt+p
  sleep 1
  xdotool key Up Return
  sleep 0.3
  # Shift+Tab from START reaches Read Id; Space presses it. Once it is disabled, the focus is on STOP.
  xdotool key shift+Tab space
  wait_until 20 memo_has "Program operation completed" || { echo "the Read Id run did not complete:" >&2; shown "$title" >&2; return 1; }
  local focused
  focused=$(wine "$window_text" --focus "$title" | tr -d '\r')
  case "$focused" in START | "Read Id" | Quit) ;; *) echo "after Read Id the focus is on '$focused'" >&2; return 1 ;; esac
  # Tab still goes round the buttons.
  xdotool key Tab
  sleep 0.3
  [ "$(wine "$window_text" --focus "$title" | tr -d '\r')" != "$focused" ] ||
    { echo "Tab does not move the focus after Read Id" >&2; return 1; }
  rm -f "$release/readid.ini"
  close_window
  stop_devices
  echo "Read Id from the keyboard: the focus stayed on a button ($focused), Tab goes on"

  phase "the window at 144 DPI"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f > /dev/null 2>&1
  start_window "$dir/vzupdater-144.out"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$window")"
  local client
  client=$(wine "$window_text" --client "$title" | tr -d '\r')
  picture windows-144dpi.png "$window"
  close_window
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f > /dev/null 2>&1
  echo "96 DPI: ${width96}x${height96}; 144 DPI: ${WIDTH}x${HEIGHT}, client $client"
  [ "$client" = "789 332" ] || { echo "the client area at 144 DPI is $client, not 789 332" >&2; return 1; }
  # The frame, the title and the menu bar grow with the system's metrics too.
  awk -v a="$width96" -v b="$WIDTH" 'BEGIN { r = b / a; exit !(r > 1.45 && r < 1.55) }' ||
    { echo "the window is not 1.5 times as wide at 144 DPI" >&2; return 1; }
}
operator_hands

# ---- Adapter latency timer -------------------------------------------------
# The FTDI driver's LatencyTimer for COM1, laid out as the driver keeps it:
# vzflash.exe ports shows it, and a run against a device whose answers leave at
# 16 ms ticks hears of it twice: the setting before the run, and the late
# answers once its first hundred lines are judged. One bank of 150 lines of the
# full package is enough for that.
latency_timer_test() {
  phase "adapter latency timer of COM1"
  local dir=$work/latency
  local ftdi='HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_6001+VZLATENCYA\0000\Device Parameters'
  mkdir -p "$dir/pkg/KRA350"
  wine reg add "$ftdi" /v PortName /d COM1 /f > /dev/null 2>&1
  wine reg add "$ftdi" /v LatencyTimer /t REG_DWORD /d 16 /f > /dev/null 2>&1
  wine "$win/app/vzflash.exe" ports | tr -d '\r' > "$dir/ports.out"
  cat "$dir/ports.out"
  grep -q '^COM1 .*  latency timer 16 ms' "$dir/ports.out" ||
    { echo "vzflash.exe ports does not show COM1's latency timer" >&2; return 1; }
  wine "$win/app/vzflash.exe" ports --json | tr -d '\r' | grep -q '"latency_timer_ms": 16' ||
    { echo "vzflash.exe ports --json does not give COM1's latency timer" >&2; return 1; }
  "$vzdevice" make-package "$dir/full"
  { head -n 150 "$dir/full/KRA350/bank0.hex"; printf ':00000001FF\r\n'; } > "$dir/pkg/KRA350/bank0.hex"
  printf 'P0 bank0.hex\r\n' > "$dir/pkg/KRA350/script.ini"
  start_device "$work/com1" --erase-ms 0 --baud-pacing --latency-ms 16
  local status=0
  wine "$win/app/vzflash.exe" run --root "$(winepath -w "$dir/pkg")" --port 1 --timeout 60 --quiet \
    > "$dir/vzflash.out" 2> "$dir/vzflash.err" || status=$?
  stop_devices
  wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS' /f > /dev/null 2>&1
  tr -d '\r' < "$dir/vzflash.err" > "$dir/advice.txt"
  cat "$dir/advice.txt"
  if [ "$status" -ne 0 ] ||
    ! grep -q '^The adapter of .*COM1.* holds received bytes for 16 ms .*Latency Timer (msec) = 1$' "$dir/advice.txt" ||
    [ "$(grep -c "^The device's answers come .*Latency Timer (msec) = 1$" "$dir/advice.txt")" -ne 1 ]; then
    echo "the latency advice is missing (status $status)" >&2
    return 1
  fi
}
latency_timer_test
# ---- end of the adapter latency timer -----------------------------------------

# ---- The installer, as plant IT uses it ----------------------------------------
# In a prefix of its own, so that its machine settings reach no other test. The
# upgrade comes from the same files with a lower version: 2.6.0.5 differs only in
# the fourth number, which Windows Installer ignores; 2.5.0.0 must be refused.
installer_test() {
  local prefix=$root/$win/wineprefix-msi dir=$work/installer
  local drive=$prefix/drive_c programs="C:\\Program Files\\Vorna-Zadod Updater"
  local installed="$prefix/drive_c/Program Files/Vorna-Zadod Updater"
  # No menu entries on the Linux desktop for the shortcuts it makes.
  iwine() { WINEPREFIX=$prefix WINEDLLOVERRIDES=winemenubuilder.exe=d wine "$@"; }
  entries() { iwine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r'; }
  package_root() { iwine reg query 'HKLM\Software\Zentrik\Vorna-Zadod Updater' /v PackageRoot | tr -d '\r' | awk '/PackageRoot/ { print $3 }'; }
  mkdir -p "$dir/elsewhere"
  if [ ! -f "$prefix/system.reg" ]; then
    phase "Wine prefix for the installer"
    WINEPREFIX=$prefix wineboot -i > /dev/null 2>&1
    WINEPREFIX=$prefix wineserver -w
  fi
  # What an interrupted run left.
  local code
  for code in $(iwine uninstaller --list | tr -d '\r' | sed -n 's/^\({[^}]*}\)|||Vorna-Zadod Updater$/\1/p'); do
    iwine msiexec /x "$code" /qn
  done
  rm -rf "$drive/Plant"
  local older oldest
  older=$(bash scripts/package-windows.sh --version 2.6.0.5 "$dir")
  oldest=$(bash scripts/package-windows.sh --version 2.5.0.0 "$dir")

  phase "installer: silent install with PACKAGE_ROOT"
  iwine msiexec /i "$(winepath -w "$older")" /qn PACKAGE_ROOT='C:\Plant\Packages' /l*v "$(winepath -w "$dir/install.log")" ||
    { echo "the silent install failed: $dir/install.log" >&2; return 1; }
  local file
  for file in vzupdater.exe vzflash.exe README.txt LICENSE.txt THIRD-PARTY.txt; do
    [ -f "$installed/$file" ] || { echo "the installation lacks $file" >&2; return 1; }
  done
  [ ! -e "$installed/KRA350" ] || { echo "the installer installed the sample package" >&2; return 1; }
  # Wine puts a per-machine installation's shortcuts in the user's Start menu; Windows in all users'.
  local menu
  menu=$(find "$drive" -type d -path '*/Start Menu/Programs/Vorna-Zadod' | head -n1)
  for file in "Vorna-Zadod Updater" "Vorna-Zadod Station" "Vorna-Zadod Updater README"; do
    [ -f "$menu/$file.lnk" ] || { echo "the Start menu lacks $file" >&2; return 1; }
  done
  strings -el "$menu/Vorna-Zadod Station.lnk" | grep -qx -- --station ||
    { echo "the station's shortcut does not pass --station" >&2; return 1; }
  entries > "$dir/entries.txt"
  [ "$(grep -c 'DisplayName .*Vorna-Zadod Updater$' "$dir/entries.txt")" -eq 1 ] &&
    grep -q 'DisplayVersion .*2\.6\.0\.5$' "$dir/entries.txt" && grep -q 'Publisher .*Zentrik$' "$dir/entries.txt" ||
    { echo "Apps lists:" >&2; grep -E 'DisplayName|DisplayVersion|Publisher' "$dir/entries.txt" >&2; return 1; }
  [ "$(package_root)" = 'C:\Plant\Packages\' ] && [ -d "$drive/Plant/Packages" ] ||
    { echo "PACKAGE_ROOT is '$(package_root)' in the registry" >&2; return 1; }
  echo "installed 2.6.0.5 in $programs with 3 Start-menu entries; PackageRoot $(package_root)"

  phase "installer: the installed programs, a package under PACKAGE_ROOT"
  iwine "$programs\\vzflash.exe" --version | tr -d '\r' | tee "$dir/version.out"
  grep -qx "vzflash 2.6.0.6" "$dir/version.out" || { echo "the installed vzflash.exe gives no version" >&2; return 1; }
  cp -r examples/sample-small/. "$drive/Plant/Packages/"
  (cd "$dir/elsewhere" && iwine "$programs\\vzflash.exe" check) | tr -d '\r' | tee "$dir/check.out"
  grep -q "^OK: 14 script(s) checked, 0 fault(s)$" "$dir/check.out" ||
    { echo "vzflash.exe check did not find the package under PACKAGE_ROOT" >&2; return 1; }

  phase "installer: upgrade to $(basename "$msi"), then an older one"
  iwine msiexec /i "$(winepath -w "$msi")" /qn /l*v "$(winepath -w "$dir/upgrade.log")" ||
    { echo "the upgrade failed: $dir/upgrade.log" >&2; return 1; }
  entries > "$dir/entries.txt"
  [ "$(grep -c 'DisplayName .*Vorna-Zadod Updater$' "$dir/entries.txt")" -eq 1 ] &&
    grep -q 'DisplayVersion .*2\.6\.0\.6$' "$dir/entries.txt" ||
    { echo "after the upgrade Apps lists:" >&2; grep -E 'DisplayName|DisplayVersion' "$dir/entries.txt" >&2; return 1; }
  [ "$(package_root)" = 'C:\Plant\Packages\' ] || { echo "the upgrade lost PACKAGE_ROOT: $(package_root)" >&2; return 1; }
  echo "upgraded to 2.6.0.6: one entry in Apps, PackageRoot kept"
  # With the basic interface the refusal is a box; msiexec then ends with 1603 (67 as a Unix status).
  local status=0 box
  iwine msiexec /i "$(winepath -w "$oldest")" /qb > /dev/null 2>&1 &
  local installer_pid=$!
  box=$(timeout 30 xdotool search --sync --onlyvisible --name '^Install Failed$' | head -n1)
  [ -n "$box" ] || { echo "installing an older version showed no box" >&2; return 1; }
  sleep 0.3
  WINEPREFIX=$prefix wine "$window_text" "Install Failed" | tr -d '\r' | tee "$dir/refusal.out"
  ok_button "$box"
  wait "$installer_pid" || status=$?
  grep -qx "A newer version of Vorna-Zadod Updater is already installed. Uninstall it first to install this older version." \
    "$dir/refusal.out" && [ "$status" -eq 67 ] ||
    { echo "the older version was not refused (status $status)" >&2; return 1; }
  [ "$(entries | grep -c 'DisplayVersion .*2\.6\.0\.6$')" -eq 1 ] && [ "$(entries | grep -c 'DisplayName .*Vorna-Zadod')" -eq 1 ] ||
    { echo "the refused install changed Apps" >&2; return 1; }

  phase "installer: silent uninstall"
  iwine msiexec /x "$(winepath -w "$msi")" /qn /l*v "$(winepath -w "$dir/uninstall.log")" ||
    { echo "the silent uninstall failed: $dir/uninstall.log" >&2; return 1; }
  local left
  left=$(find "$drive" \( -path '*/Vorna-Zadod Updater*' -o -path '*/Start Menu/Programs/Vorna-Zadod*' \) | head -n3)
  [ -z "$left" ] || { echo "the uninstall left: $left" >&2; return 1; }
  ! entries | grep -q 'Vorna-Zadod' || { echo "Apps still lists the updater" >&2; return 1; }
  ! iwine reg query 'HKLM\Software\Zentrik' > /dev/null 2>&1 || { echo "the uninstall left HKLM\Software\Zentrik" >&2; return 1; }
  [ -f "$drive/Plant/Packages/KRA350/script.ini" ] || { echo "the uninstall removed the package directory" >&2; return 1; }
  echo "uninstalled: no program, Start-menu entry, Apps entry or registry key left; C:\Plant\Packages kept"
  WINEPREFIX=$prefix wineserver -w
}
if [ -z "$only" ]; then installer_test; fi
# ---- end of the installer -------------------------------------------------------

phase "done"
echo "All Windows tests passed."
