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

# shellcheck source=scripts/smoke-gui-lib.sh
source scripts/smoke-gui-lib.sh

# The Linux simulator on loopback: on the port given, or a free one.
smoke_listen_port=${QUILLSTONE_SMOKE_PORT:-0}
smoke_start_simulator build/dev/bin/quillstone-devsim
port=$smoke_port

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

smoke_test_connect_from_start
grep -qx -- "-d" "$arp_log" || fail "the ARP step did not reach the stand-in"
# A picture that failed to load would show an error box captioned like the main window.
[ "$(xdotool search --onlyvisible --name '^Quillstone$' | wc -l)" = 1 ] ||
  fail "a second window after Test Connect (an error box?)"
echo "Test Connect: connect succeed, the device saw $(smoke_codes); ARP.EXE started with -d"

smoke_wpa2_apply_with_boxes Lab quillstone-smoke
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
smoke_keys alt+F4
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
