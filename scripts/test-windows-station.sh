# Sourced by test-windows.sh, with its helpers (phase, start_device, wait_until,
# shown, picture, stop_devices) and its mapped COM1 and COM2: the station window
# vzupdater.exe --station of the release zip, driven from the keyboard alone as
# an operator would, on two ports device after device.
station_window_test() {
  local dir=$work/station-window station_title="Zentrik Vorna-Zadod Station"
  local pkg=$work/station/pkg
  mkdir -p "$dir/logs"
  # What the station window shows, and the text of the control with the keys.
  station_shown() { shown "$station_title"; }
  focused() { wine "$window_text" --focus "$1" | tr -d '\r'; }
  # A top-level window of the program by its title, given the keys by a click on its title bar.
  activate() {
    local found
    found=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1" | head -n1)
    [ -n "$found" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$found")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 8)) click 1
    sleep 0.5
    echo "$found"
  }
  start_station() {
    (cd "$release" && exec wine ./vzupdater.exe --station=LINE-3 --operator Ann --root "$(winepath -w "$pkg")" \
      "$@" > "$dir/vzupdater.out" 2>&1) &
    updater_pid=$!
    window=$(activate "$station_title") || { echo "the station window did not appear" >&2; return 1; }
  }
  ended() { ! kill -0 "$updater_pid" 2> /dev/null; }

  phase "station window: two ports chosen in its dialog, device after device, from the keyboard"
  # Two devices on each port; B1's second fails writing a keyboard bank.
  start_device "$work/com1" --devices 2 --gap-ms 500 --erase-ms 0 --results "$dir/com1.jsonl" --verify "$pkg/KRA350"
  start_device "$work/com2" --devices 2 --gap-ms 500 --erase-ms 0 --cycle clean,x=bank:3 --results "$dir/com2.jsonl"
  start_station --count 2 --report "$(winepath -w "$dir/report.jsonl")" --log-dir "$(winepath -w "$dir/logs")"
  [ "$(focused "$station_title")" = "&Start" ] ||
    { echo "Start does not have the keys at opening: '$(focused "$station_title")'" >&2; return 1; }
  picture windows-station-idle.png "$window"
  # Enter presses Start; with no --port the ports are chosen first.
  xdotool key Return
  local dialog
  dialog=$(activate "Ports of the station") || { echo "Enter on Start opened no port dialog" >&2; return 1; }
  shown "Ports of the station" | sed -n 2,4p
  shown "Ports of the station" | sed -n 3p | grep -q "^COM1" && shown "Ports of the station" | sed -n 5p | grep -q "^COM2" ||
    { echo "the dialog does not list COM1 and COM2 first:" >&2; shown "Ports of the station" >&2; return 1; }
  # Space checks a port, Tab goes to its label, and on to the next port; Enter is OK.
  xdotool key space Tab
  xdotool type A1
  xdotool key Tab space Tab
  xdotool type B1
  picture windows-station-ports.png "$dialog"
  xdotool key Return
  wait_until 30 sh -c "wine '$window_text' '$station_title' | tr -d '\r' | grep -c '^updating  KRA350' | grep -qx 2" ||
    { echo "the station did not update on both ports:" >&2; station_shown >&2; return 1; }
  picture windows-station-run.png "$window"
  # Stop asks first while devices are mid-update; No is the default and keeps them going.
  [ "$(focused "$station_title")" = "S&top" ] || { echo "Stop does not have the keys while running" >&2; return 1; }
  xdotool key Return
  activate "Devices are being updated" > /dev/null || { echo "Stop asked nothing mid-update" >&2; return 1; }
  xdotool key Return
  wait_until 5 sh -c "! wine '$window_text' 'Devices are being updated'" || { echo "the question stayed" >&2; return 1; }
  wait_until 120 sh -c "wine '$window_text' '$station_title' | tr -d '\r' | grep -q '^Completed 3   Failed 1   Stopped 0   Yield 75 %'" ||
    { echo "the station did not take four devices:" >&2; station_shown >&2; return 1; }
  wait_until 10 sh -c "[ \"\$(wine '$window_text' --focus '$station_title' | tr -d '\r')\" = '&Start' ]" ||
    { echo "Start did not come back once every port had its count" >&2; return 1; }
  sleep 0.5
  picture windows-station-done.png "$window"
  station_shown | grep -A3 '^Last: failed KRA350' | grep -q '^Reason: ' ||
    { echo "B1's tile does not keep the failure's reason:" >&2; station_shown >&2; return 1; }
  [ "$(grep -c '"label": "A1", "result": "completed"' "$dir/report.jsonl")" = 2 ] &&
    grep -q '"label": "B1", "result": "failed"' "$dir/report.jsonl" && [ "$(wc -l < "$dir/report.jsonl")" = 4 ] ||
    { echo "the report holds:" >&2; cat "$dir/report.jsonl" >&2; return 1; }
  [ "$(find "$dir/logs" -name 'A1-*.log' | wc -l)" = 2 ] && [ "$(find "$dir/logs" -name 'B1-*.log' | wc -l)" = 2 ] ||
    { echo "the transcripts are:" >&2; ls "$dir/logs" >&2; return 1; }
  grep -c '"memories_right":true' "$dir/com1.jsonl" | grep -qx 2 || { echo "A1's devices do not hold the package" >&2; return 1; }
  # Alt+F4 with nothing mid-update closes at once.
  xdotool key alt+F4
  wait_until 10 ended || { echo "Alt+F4 did not close the idle station window" >&2; return 1; }
  wait "$updater_pid" || { echo "vzupdater.exe --station ended with status $?" >&2; return 1; }
  stop_devices
  station_shown 2> /dev/null || true
  echo "station window: ports chosen from the keyboard, 3 completed and 1 failed, each recorded; Stop asked, No kept going"

  phase "station window closed mid-update"
  start_device "$work/com1" --erase-ms 0
  start_station --port A1=COM1 --report "$(winepath -w "$dir/closed.jsonl")"
  xdotool key Return
  wait_until 30 sh -c "wine '$window_text' '$station_title' | tr -d '\r' | grep -q '^updating  KRA350'" ||
    { echo "the station did not start from Enter:" >&2; station_shown >&2; return 1; }
  xdotool key alt+F4
  activate "Devices are being updated" > /dev/null || { echo "closing mid-update asked nothing" >&2; return 1; }
  xdotool key alt+y
  wait_until 15 ended || { echo "the station window did not close after Yes" >&2; return 1; }
  wait "$updater_pid" || true
  stop_devices
  grep -q '"label": "A1", "result": "stopped"' "$dir/closed.jsonl" ||
    { echo "the device stopped by closing has no record:" >&2; cat "$dir/closed.jsonl" >&2; return 1; }
  echo "closed mid-update: asked first, Yes stopped the device, recorded as stopped"

  phase "station window: a refusal at start in a box"
  # A report that cannot be written: nothing is taken, the box says why, Start keeps the keys.
  start_device "$work/com1" --erase-ms 0
  start_station --port A1=COM1 --report "$(winepath -w "$dir/logs")"
  xdotool key Return
  activate "The station cannot start" > /dev/null || { echo "an unwritable report gave no box" >&2; return 1; }
  shown "The station cannot start" | grep -q "^Cannot write the report " ||
    { echo "the refusal box says:" >&2; shown "The station cannot start" >&2; return 1; }
  xdotool key Return
  wait_until 5 sh -c "! wine '$window_text' 'The station cannot start'" || { echo "the box stayed" >&2; return 1; }
  [ "$(focused "$station_title")" = "&Start" ] || { echo "Start lost the keys after the box" >&2; return 1; }
  station_shown | grep -q "^not started" || { echo "a port started after the refusal" >&2; return 1; }
  xdotool key alt+F4
  wait_until 10 ended || { echo "Alt+F4 did not close the refused station window" >&2; return 1; }
  stop_devices
  echo "refusal: the box named the report, no port started, Start kept the keys"

  phase "station window at 144 DPI"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f > /dev/null 2>&1
  start_station --port A1=COM1 --port B1=COM2
  picture windows-station-144dpi.png "$window"
  xdotool key alt+F4
  wait_until 10 ended || { echo "Alt+F4 did not close the station window at 144 DPI" >&2; return 1; }
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f > /dev/null 2>&1
}
