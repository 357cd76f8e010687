#!/usr/bin/env bash
# Installs what is missing, builds with the given preset (default: dev) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset" --output-on-failure
