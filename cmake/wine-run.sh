#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: the emulator of the windows preset.
# The Wine prefix is the build's own (<build>/wineprefix, beside bin/) unless WINEPREFIX names
# one; Wine's diagnostics and its offers to install Mono and Gecko are off.
# The program's output goes through a file, not a pipe: Wine's helper processes may keep a
# pipe open long after the program has ended. It is printed afterwards with Windows line ends
# turned into plain line feeds, so that ctest reads the test list.
set -euo pipefail
program=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX="$(cd "$(dirname "$program")/.." && pwd)/wineprefix"
fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
output=$(mktemp)
trap 'rm -f "$output"' EXIT
# Now and then Wine fails to start a program at all: it ends at once, non-zero, having printed
# nothing. Every program run here prints something first (a test program its banner), so such a
# run is started again, at most twice; each restart is logged beside the prefix
# (wine-restarts.log), and scripts/test-windows.sh reports them.
restarts_log="$WINEPREFIX/../wine-restarts.log"
attempt=1
while :; do
  status=0
  wine "$program" "$@" </dev/null >"$output" 2>&1 || status=$?
  if [ "$status" -eq 0 ] || [ -s "$output" ] || [ "$attempt" -ge 3 ]; then break; fi
  echo "exit $status with no output, started again: $program $*" >>"$restarts_log"
  attempt=$((attempt + 1))
done
tr -d '\r' <"$output"
exit "$status"
