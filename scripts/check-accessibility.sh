#!/usr/bin/env bash
# The tool as a screen reader meets it: on an X server (Xvfb) and a D-Bus session of its own with
# the AT-SPI accessibility bus, starts the built tool with Qt's AT-SPI bridge on, and lists its
# windows' accessible trees (scripts/check-accessibility.py); fails when a focusable control has
# no name. The tool runs from a copy in a temporary folder, whose options.ini points the
# connection at a closed port on 127.0.0.1, with recording stand-ins for `ip` and `arp` first on
# PATH; the run checks that the stand-in was reached.
#
#   bash scripts/check-accessibility.sh BIN_DIR     (BIN_DIR: build/<preset>/bin)
#
# Exits 77 (a skip for ctest) when Xvfb, dbus-run-session or python3-pyatspi is missing
# (scripts/install-deps.sh installs them).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = --inside ]; then
  # On the X server and the session bus; $2 is the run's folder.
  run=$2
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
  unset QT_QPA_PLATFORM
  "$run/program/quillstone" </dev/null >"$run/quillstone.out" 2>&1 &
  tool=$!
  status=0
  /usr/bin/python3 "$here/check-accessibility.py" || status=$?
  kill "$tool" 2>/dev/null || true
  wait "$tool" 2>/dev/null || true
  exit "$status"
fi

bin=${1:?usage: check-accessibility.sh BIN_DIR}
skip() { echo "skipped: $* (scripts/install-deps.sh installs it)"; exit 77; }
command -v xvfb-run >/dev/null || skip "xvfb-run not found"
command -v dbus-run-session >/dev/null || skip "dbus-run-session not found"
[ -e /usr/share/dbus-1/services/org.a11y.Bus.service ] || skip "at-spi2-core not installed"
/usr/bin/python3 -c "import pyatspi" 2>/dev/null || skip "python3-pyatspi not installed"

run=$(mktemp -d /tmp/quillstone-a11y.XXXXXX)
trap 'rm -rf "$run"' EXIT
mkdir "$run/program" "$run/stubs" "$run/home" "$run/runtime"
chmod 700 "$run/runtime"
cp "$bin/quillstone" "$bin/libcapstan.so" "$run/program/"
cp -r "$bin/bmp" "$run/program/"
# A port nothing listens on: bound once to learn a free number, then closed again.
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[Config]\r\nlocatIP=127.0.0.1\r\nPort=%s\r\n' "$port" >"$run/program/options.ini"
for tool in ip arp; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/stub-calls.log"\n' "$tool" "$run" >"$run/stubs/$tool"
  chmod 755 "$run/stubs/$tool"
done

status=0
env -i HOME="$run/home" LANG=C.UTF-8 XDG_RUNTIME_DIR="$run/runtime" \
  PATH="$run/stubs:/usr/local/bin:/usr/bin:/bin" \
  xvfb-run -a -n $((700 + $$ % 200)) -s "-screen 0 1024x768x24" \
  dbus-run-session -- bash "$here/check-accessibility.sh" --inside "$run" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- the tool's output" >&2
  cat "$run/quillstone.out" >&2 || true
  exit "$status"
fi
grep -q "^ip " "$run/stub-calls.log" 2>/dev/null || {
  echo "check-accessibility: Test Connect did not reach the stand-in ip" >&2
  exit 1
}
echo "check-accessibility: every focusable control has a name; the stand-in ran:" \
  "$(sort -u "$run/stub-calls.log" | xargs)"
