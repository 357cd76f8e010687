#!/usr/bin/env bash
# The installed Debian package as a user drives it: as the non-root user quillstone-smoke (made
# when missing), on an X server of its own (Xvfb), starts the installed /usr/bin/quillstone
# against the installed quillstone-devsim on 127.0.0.1, with recording stand-ins for `ip` and
# `arp` first on PATH, and works the window with X key events alone:
#   - Test Connect: "connect succeed", the device sees 1003, then 1002, 1002, 1014, and the ARP
#     step reaches the stand-in;
#   - the device IP dialog: a fixed address, saved to ~/.config/quillstone/IPconfig.ini;
#   - a WPA2PSK apply: it lands in the device's store, the device restarts, and the settings are
#     written to the user's ~/.config/quillstone/options.ini, nothing to the program's folder.
# Run as root by scripts/package-linux.sh after the package is installed; the screenshots stay
# in build/release/smoke/.
set -euo pipefail
cd "$(dirname "$0")/.."
user=quillstone-smoke
program_dir=/usr/lib/quillstone

if [ "${1:-}" != --as-user ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "run as root: the smoke run makes a user of its own and runs the tool as that user" >&2
    exit 1
  fi
  id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/sh "$user"
  home=$(getent passwd "$user" | cut -d: -f6)
  # Each run starts as a user's first start does.
  rm -rf "$home/.config/quillstone"
  smoke=$(mktemp -d /tmp/quillstone-smoke.XXXXXX)
  trap 'rm -rf "$smoke"' EXIT
  mkdir "$smoke/stubs" "$smoke/runtime"
  chmod 700 "$smoke/runtime"
  for tool in ip arp; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/stub-calls.log"\n' "$tool" "$smoke" >"$smoke/stubs/$tool"
    chmod 755 "$smoke/stubs/$tool"
  done
  chown -R "$user" "$smoke"
  status=0
  # xvfb-run -a looks for a free display from its start number; other runs on this machine
  # start at 99, and two looking at once can pick the same one.
  runuser -u "$user" -- env -i HOME="$home" USER="$user" LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$smoke/runtime" \
    PATH="$smoke/stubs:/usr/local/bin:/usr/bin:/bin" \
    xvfb-run -a -n $((200 + $$ % 500)) -e "$smoke/xvfb.out" -s "-screen 0 1024x768x24" \
    bash "$PWD/scripts/smoke-linux-gui.sh" --as-user "$smoke" || status=$?
  rm -rf build/release/smoke
  mkdir -p build/release/smoke
  cp "$smoke"/*.png "$smoke"/*.log "$smoke"/*.out build/release/smoke/ 2>/dev/null || true
  echo "screenshots: build/release/smoke/*.png"
  exit "$status"
fi

# From here on as the user, under Xvfb.
smoke=$2
# shellcheck source=scripts/smoke-gui-lib.sh
source scripts/smoke-gui-lib.sh
settings=$HOME/.config/quillstone/options.ini
children=()
cleanup() { for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

[ "$(id -u)" -ne 0 ] || fail "running as root"
[ "$(command -v quillstone)" = /usr/bin/quillstone ] || fail "quillstone is not the installed one"
[ "$(command -v ip)" = "$smoke/stubs/ip" ] || fail "the stand-in ip is not first on PATH"
[ ! -w "$program_dir" ] || fail "$program_dir is writable by $(id -un)"

smoke_start_simulator /usr/bin/quillstone-devsim --state "$smoke/device.state"

# The user has set the device's address before (the connection panel starts from options.ini).
mkdir -p "$(dirname "$settings")"
printf '[Config]\r\nlocatIP=127.0.0.1\r\nPort=%s\r\n' "$smoke_port" >"$settings"

(cd "$HOME" && exec quillstone) </dev/null >"$smoke/quillstone.out" 2>&1 &
tool=$!
children+=("$tool")

smoke_test_connect_from_start
for _ in $(seq 50); do [ -s "$smoke/stub-calls.log" ] && break; sleep 0.1; done
grep -qx "ip -4 neigh flush nud stale" "$smoke/stub-calls.log" 2>/dev/null ||
  fail "the ARP step did not reach the stand-in ip"
echo "Test Connect: connect succeed, the device saw $(smoke_codes); the stand-in ran:" \
  "$(sort -u "$smoke/stub-calls.log" | xargs)"

# The device IP dialog: ConfigMachine is just before Test Connect in the Tab order. Down picks
# "Config IP Address", Tab goes to the address, Tab again fills in its mask, Enter presses OK.
# Closed, it gives the focus back to ConfigMachine, and Tab goes on to Test Connect.
smoke_keys shift+Tab space
smoke_wait_window ConfigMachine >/dev/null || fail "no device IP dialog from ConfigMachine"
smoke_keys Down Tab
xdotool type --delay 60 "10.1.2.3"
smoke_keys Tab
import -window root "$smoke/ip-dialog.png"
smoke_keys Return
dialog_closed() { [ -z "$(xdotool search --onlyvisible --name '^ConfigMachine$' 2>/dev/null)" ]; }
for _ in $(seq 50); do dialog_closed && break; sleep 0.1; done
dialog_closed || fail "the device IP dialog stayed open after OK"
ip_settings=$(dirname "$settings")/IPconfig.ini
for line in IPaddress=10.1.2.3 subMask=255.0.0.0 IPRadio=1; do
  tr -d '\r' <"$ip_settings" 2>/dev/null | grep -qx "$line" || fail "$ip_settings holds no $line"
done
echo "device IP dialog: OK saved the fixed address in $ip_settings"
smoke_keys Tab

smoke_wpa2_apply_with_boxes Lab quillstone-smoke
for option in "SSID=Lab" "AuthMode=WPA2PSK" "EncrypType=TKIP" "WPAPSK=quillstone-smoke"; do
  grep -qx "$option" "$smoke/device.state" || fail "the device's store holds no $option"
done
tr -d '\r' <"$settings" | grep -qx "AuthMode=WPA2PSK" || fail "$settings holds no AuthMode=WPA2PSK"
tr -d '\r' <"$settings" | grep -qx "Port=$smoke_port" || fail "$settings lost the port"
for file in options.ini IPconfig.ini; do
  [ ! -e "$program_dir/$file" ] || fail "$program_dir/$file exists"
done
echo "apply: the device stored SSID, AuthMode=WPA2PSK, TKIP and the passphrase, and restarted;"
echo "the settings went to $settings"
