#!/usr/bin/env bash
# Builds the tool and the device simulator, starts the simulator on 127.0.0.1:4370 and then the
# tool pointed at it. Without a display, run it under Xvfb: xvfb-run -a bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev --target quillstone quillstone-devsim
bin="$PWD/build/dev/bin"

# The tool reads its settings beside its executable; a first run talks to the simulator.
if [ ! -f "$bin/options.ini" ]; then
  printf '[Config]\r\nlocatIP=127.0.0.1\r\nPort=4370\r\n' > "$bin/options.ini"
fi

"$bin/quillstone-devsim" --listen 127.0.0.1:4370 --state "$bin/devsim-state.ini" \
  --log "$bin/devsim.log" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT
echo "Device simulator running on 127.0.0.1:4370 (log: $bin/devsim.log)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Run the tool under Xvfb instead:"
  echo "  apt-get install -y xvfb xauth && xvfb-run -a bash scripts/run.sh"
  exit 1
fi
"$bin/quillstone"
