#!/usr/bin/env bash
# The packaged Windows tool as a user drives it: starts quillstone.exe under Wine on an X server
# of its own (Xvfb) against the Linux quillstone-devsim on 127.0.0.1, and works the window with X
# key events alone:
#   - Test Connect: "connect succeed", the device sees 1003, then 1002, 1002, 1014;
#   - a WPA2PSK apply: it lands, the device restarts, options.ini is written.
#   smoke-windows-gui.sh                    the ZIP of the windows preset, unpacked into a folder
#                                           with a non-ASCII name; options.ini beside the .exe
#   smoke-windows-gui.sh --installed DIR    a program folder this user cannot write (installed
#                                           by scripts/check-windows-package.sh, whose
#                                           options.ini gives the device's port,
#                                           QUILLSTONE_SMOKE_PORT); the settings must land in
#                                           %APPDATA%\Quillstone, starting from that file
# The prefix's arp.exe must be the recording stand-in (scripts/test-windows.sh puts it there).
# Logs and screenshots go to QUILLSTONE_SMOKE_DIR (build/windows/smoke by default). Run by
# scripts/test-windows.sh after the package.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${QUILLSTONE_SMOKE_UNDER_XVFB:-}" ]; then
  export QUILLSTONE_SMOKE_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

build=build/windows
smoke=${QUILLSTONE_SMOKE_DIR:-$PWD/$build/smoke}
installed=""
if [ "${1:-}" = "--installed" ]; then installed=${2:?--installed needs the program folder}; fi
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;arp.exe=n"
arp_log=$WINEPREFIX/drive_c/windows/system32/arp-calls.log
if ! cmp -s "$build/bin/arp-stub.exe" "$WINEPREFIX/drive_c/windows/system32/arp.exe"; then
  echo "the Wine prefix's arp.exe is not the recording stand-in; run scripts/test-windows.sh" >&2
  exit 1
fi

rm -rf "$smoke"
mkdir -p "$smoke"
if [ -n "$installed" ]; then
  app=$installed
  # Where the shell puts this user's roaming application data in a Wine prefix.
  settings="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Quillstone"
else
  zip=$(ls "$build"/packages/Quillstone-*-win64.zip)
  folder="$smoke/Prüfstand"
  mkdir -p "$folder"
  unzip -q "$zip" -d "$folder"
  app="$folder/$(basename "$zip" .zip)"
  settings=$app
fi
rm -f "$arp_log"

children=()
cleanup() { for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

fail() {
  echo "smoke run: $*" >&2
  import -window root "$smoke/failure.png" 2>/dev/null || true
  echo "--- device log" >&2
  cat "$smoke/device.log" >&2 || true
  exit 1
}

# The Linux simulator on loopback: on the port given, or a free one.
build/dev/bin/quillstone-devsim --listen "127.0.0.1:${QUILLSTONE_SMOKE_PORT:-0}" \
  --log "$smoke/device.log" \
  </dev/null >"$smoke/devsim.out" 2>&1 &
children+=($!)
for _ in $(seq 100); do grep -q "listening on" "$smoke/devsim.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$smoke/devsim.out")
[ -n "$port" ] || fail "the simulator did not start"

if [ -n "$installed" ]; then
  # Nothing of this user's may be there before the first start.
  [ ! -e "$settings" ] || fail "$settings is there before the first start"
  touch "$app/write-probe" 2>/dev/null && fail "this user can write to $app"
  tr -d '\r' <"$app/options.ini" | grep -qx "Port=$port" ||
    fail "the program folder's options.ini does not give the device's port $port"
else
  # The connection panel starts from options.ini beside the program.
  printf '[Config]\r\nlocatIP=127.0.0.1\r\nPort=%s\r\n' "$port" >"$app/options.ini"
fi

(cd "$app" && exec wine ./quillstone.exe -platform windows:fontengine=freetype) \
  </dev/null >"$smoke/quillstone.out" 2>&1 &
tool=$!
children+=("$tool")

# Waits until a window titled $1 is mapped; prints its id.
wait_window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}
# Waits until the device log has a line matching $1.
wait_log() {
  for _ in $(seq 100); do
    grep -q "$1" "$smoke/device.log" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
keys() { xdotool key --delay 60 "$@"; }
codes() { sed -n 's/.* code=\([0-9]*\) .*/\1/p' "$smoke/device.log" | xargs; }

main=$(wait_window Quillstone) || fail "no main window"
xdotool windowfocus --sync "$main"
sleep 1
import -window root "$smoke/main-window.png"

# The window starts with the focus on the tab bar. Test Connect is the last stop of the page's
# Tab order, so Shift+Tab from the tab bar reaches it.
keys shift+Tab space
wait_window Information >/dev/null || fail "no box after Test Connect"
sleep 0.5
import -window root "$smoke/connect-succeed.png"
[ "$(codes)" = "1003" ] || fail "while the box is open the device saw: $(codes)"
keys Return
wait_log "event=disconnect" || fail "the test connection did not close"
[ "$(codes)" = "1003 1002 1002 1014" ] || fail "Test Connect sent: $(codes)"
grep -qx -- "-d" "$arp_log" || fail "the ARP step did not reach the stand-in"
# A picture that failed to load would show an error box captioned like the main window.
[ "$(xdotool search --onlyvisible --name '^Quillstone$' | wc -l)" = 1 ] ||
  fail "a second window after Test Connect (an error box?)"
echo "Test Connect: connect succeed, the device saw $(codes); ARP.EXE started with -d"

# A WPA2PSK apply. From Test Connect, Tab goes round to the tab bar, then down the page:
# "Active", the network name, the mode, the authentication (OPEN, SHARED, WEPAUTO, WPAPSK,
# WPA2PSK), the encryption (TKIP), the passphrase; Enter presses " Set".
: >"$smoke/device.log"
keys Tab Tab Tab
xdotool type --delay 60 "Lab"
keys Tab Tab Down Down Down Down Tab Tab
xdotool type --delay 60 "quillstone-smoke"
keys Return
wait_window Confirm >/dev/null || fail "no confirmation box after Enter"
import -window root "$smoke/confirm.png"
keys Return
wait_window Information >/dev/null || fail "no result box after the apply"
sleep 0.5
import -window root "$smoke/apply-result.png"
keys Return
wait_log "event=restart" || fail "the device did not restart"
for option in "SSID=Lab" "AuthMode=WPA2PSK" "EncrypType=TKIP" "WPAPSK=quillstone-smoke"; do
  grep -q "code=12 request=\"$option\"" "$smoke/device.log" || fail "the device got no $option"
done
[ -f "$settings/options.ini" ] || fail "no options.ini in $settings"
tr -d '\r' <"$settings/options.ini" | grep -qx "AuthMode=WPA2PSK" ||
  fail "options.ini in $settings holds no AuthMode=WPA2PSK"
tr -d '\r' <"$settings/options.ini" | grep -qx "Port=$port" || fail "options.ini lost the port"
if [ -n "$installed" ]; then
  tr -d '\r' <"$app/options.ini" | grep -q "AuthMode" &&
    fail "the program folder's options.ini was changed"
fi
echo "apply: the device got SSID, AuthMode=WPA2PSK, TKIP and the passphrase, and restarted;"
echo "options.ini written in $settings"
echo "screenshots: $smoke/*.png"

# Closing the window ends the program.
keys alt+F4
for _ in $(seq 100); do kill -0 "$tool" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$tool" 2>/dev/null; then fail "quillstone.exe did not end when its window closed"; fi
wait "$tool" || fail "quillstone.exe ended with status $?"
echo "the window closed and quillstone.exe ended"

# The packaged command-line tool runs too: its connection test against the restarted device.
if [ -f "$app/quillstone-cli.exe" ]; then
  (cd "$app" && wine ./quillstone-cli.exe test "tcp:127.0.0.1:$port") </dev/null \
    >"$smoke/cli.out" 2>&1 || { cat "$smoke/cli.out" >&2; fail "quillstone-cli.exe test failed"; }
  echo "quillstone-cli.exe test: $(tr -d '\r' <"$smoke/cli.out" | tail -n 1)"
fi
