# shellcheck shell=bash
# Sourced by the GUI smoke runs of the installed packages: the loopback simulator, waits on the X
# server's windows and on the simulator's log, and the key strokes that work the window.
# The caller sets $smoke (the run's folder: the simulator logs to $smoke/device.log, the tool's
# output is expected in $smoke/quillstone.out) and keeps the ids of what it starts in the array
# children.
# shellcheck disable=SC2154 # smoke and children are the caller's

# Ends the run with MESSAGE, a picture of the screen and what the device and the tool said.
fail() {
  echo "smoke run: $*" >&2
  import -window root "$smoke/failure.png" 2>/dev/null || true
  echo "--- device log" >&2
  cat "$smoke/device.log" >&2 || true
  echo "--- the tool's output" >&2
  cat "$smoke/quillstone.out" >&2 || true
  exit 1
}

# Starts the simulator ($1, then its own options) on loopback, on the port in
# $smoke_listen_port or else a free one; sets smoke_port.
smoke_start_simulator() {
  local program=$1
  shift
  "$program" --listen "127.0.0.1:${smoke_listen_port:-0}" --log "$smoke/device.log" "$@" \
    </dev/null >"$smoke/devsim.out" 2>&1 &
  children+=($!)
  for _ in $(seq 100); do grep -q "listening on" "$smoke/devsim.out" 2>/dev/null && break; sleep 0.1; done
  smoke_port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$smoke/devsim.out")
  [ -n "$smoke_port" ] || fail "the simulator did not start: $(cat "$smoke/devsim.out")"
}

# Waits until a window titled $1 is mapped; prints its id.
smoke_wait_window() {
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
smoke_wait_log() {
  for _ in $(seq 100); do
    grep -q "$1" "$smoke/device.log" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

smoke_keys() { xdotool key --delay 60 "$@"; }

# The command codes the device has seen, in order.
smoke_codes() { sed -n 's/.* code=\([0-9]*\) .*/\1/p' "$smoke/device.log" | xargs; }

# The window starts with the focus on the tab bar. Test Connect is the last stop of the page's
# Tab order, so Shift+Tab from the tab bar reaches it.
smoke_press_test_connect() { smoke_keys shift+Tab space; }

# Waits for the main window, focuses it, takes its picture and presses Test Connect: "connect
# succeed" shows while the device has seen 1003 only; Enter closes the box, after which the device
# has seen 1003, 1002, 1002, 1014.
smoke_test_connect_from_start() {
  local main
  main=$(smoke_wait_window Quillstone) || fail "no main window"
  xdotool windowfocus --sync "$main"
  sleep 1
  import -window root "$smoke/main-window.png"
  smoke_press_test_connect
  smoke_wait_window Information >/dev/null || fail "no box after Test Connect"
  sleep 0.5
  import -window root "$smoke/connect-succeed.png"
  [ "$(smoke_codes)" = "1003" ] || fail "while the box is open the device saw: $(smoke_codes)"
  smoke_keys Return
  smoke_wait_log "event=disconnect" || fail "the test connection did not close"
  [ "$(smoke_codes)" = "1003 1002 1002 1014" ] || fail "Test Connect sent: $(smoke_codes)"
}

# A WPA2PSK apply for network $1 with passphrase $2, from Test Connect: Tab goes round to the
# tab bar, then down the page: "Active", the network name, the mode, the authentication (OPEN,
# SHARED, WEPAUTO, WPAPSK, WPA2PSK), the encryption (TKIP), the passphrase; Enter presses " Set".
smoke_enter_wpa2_apply() {
  smoke_keys Tab Tab Tab
  xdotool type --delay 60 "$1"
  smoke_keys Tab Tab Down Down Down Down Tab Tab
  xdotool type --delay 60 "$2"
  smoke_keys Return
}

# The options that apply sends (code 12), each once in the device log.
smoke_check_wpa2_options() {
  local option
  for option in "SSID=$1" "AuthMode=WPA2PSK" "EncrypType=TKIP" "WPAPSK=$2"; do
    grep -q "code=12 request=\"$option\"" "$smoke/device.log" || fail "the device got no $option"
  done
}

# The whole WPA2PSK apply as the user sees it, from Test Connect: the keys, OK in the
# confirmation, OK in the result box; the device restarts having got the options. Pictures of
# both boxes.
smoke_wpa2_apply_with_boxes() {
  : >"$smoke/device.log"
  smoke_enter_wpa2_apply "$1" "$2"
  smoke_wait_window Confirm >/dev/null || fail "no confirmation box after Enter"
  import -window root "$smoke/confirm.png"
  smoke_keys Return
  smoke_wait_window Information >/dev/null || fail "no result box after the apply"
  sleep 0.5
  import -window root "$smoke/apply-result.png"
  smoke_keys Return
  smoke_wait_log "event=restart" || fail "the device did not restart"
  smoke_check_wpa2_options "$1" "$2"
}
