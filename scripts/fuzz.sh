#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, ASan, UBSan) and runs one or all of them.
#
#   bash scripts/fuzz.sh TARGET|all SECONDS
#
# TARGET is a fuzzer's name with or without its "fuzz_" prefix (reply_decoder, request_decoder,
# ini_reader, ini_merge, scramble, option_write). Each run starts from the committed seeds in
# fuzz/corpus/<fuzzer> and keeps what it learns in <build>/corpus/<fuzzer>; a finding is saved
# as <build>/findings/<fuzzer>-crash-... and makes the script fail. The build folder is
# build/fuzz unless QUILLSTONE_FUZZ_BUILD_DIR names another.
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: bash scripts/fuzz.sh TARGET|all SECONDS"
target="${1:?$usage}"
seconds="${2:?$usage}"
build="${QUILLSTONE_FUZZ_BUILD_DIR:-build/fuzz}"
fuzzers=(reply_decoder request_decoder ini_reader ini_merge scramble option_write)

install_packages() {
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}

# clang and its sanitizer and libFuzzer runtimes (only recommended by Debian's clang).
bash scripts/install-deps.sh
command -v clang++ >/dev/null || install_packages clang
clang_major=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
runtime="libclang-rt-${clang_major}-dev"
dpkg-query -W -f='${Status}' "$runtime" 2>/dev/null | grep -q "install ok installed" ||
  install_packages "$runtime"

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target quillstone_fuzzers

if [ "$target" = all ]; then
  selected=("${fuzzers[@]}")
else
  selected=("${target#fuzz_}")
fi

mkdir -p "$build/findings" "$build/logs"
failed=0
for name in "${selected[@]}"; do
  fuzzer="fuzz_$name"
  if [ ! -x "$build/bin/$fuzzer" ]; then
    echo "no fuzzer $fuzzer; known: ${fuzzers[*]}" >&2
    exit 2
  fi
  # A frame may carry 4096 payload bytes; leave room for a few frames and the choices.
  max_len=4096
  case "$name" in reply_decoder | request_decoder) max_len=9000 ;; esac
  mkdir -p "$build/corpus/$fuzzer"
  log="$build/logs/$fuzzer.log"
  echo "== $fuzzer for ${seconds}s"
  if "$build/bin/$fuzzer" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$fuzzer-" \
      "$build/corpus/$fuzzer" "fuzz/corpus/$fuzzer" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n1)
    echo "   no finding: $runs runs, $speed runs/s, $coverage"
  else
    failed=1
    echo "   FINDING (log: $log)"
    grep -E 'property broken|ERROR|SUMMARY|Test unit written' "$log" | head -n 20
  fi
done
exit $failed
