#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: the emulator of the windows preset.
# The Wine prefix is the build's own (<build>/wineprefix, beside bin/) unless WINEPREFIX names
# one; Wine's diagnostics and its offers to install Mono and Gecko are off. Windows line ends
# leave the program's standard output as plain line feeds, so that ctest reads the test list.
set -euo pipefail
program=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX="$(cd "$(dirname "$program")/.." && pwd)/wineprefix"
fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine "$program" "$@" | tr -d '\r'
