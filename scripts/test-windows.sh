#!/usr/bin/env bash
# Cross-builds the project for Windows with mingw-w64 (preset "windows": the release build that
# the packages hold, built once for the tests and the packages alike), the GUI included when
# a Qt kit for mingw-w64 is there (QUILLSTONE_QT_MINGW=DIR, else the prebuilt kit from
# ../shared/qt6-mingw unpacked under build/), checks that capstan.dll exports exactly its three
# entry points, runs the Windows test programs under Wine (the GUI tests offscreen), packs the
# Windows ZIP and the installer, runs the ZIP under Wine + Xvfb against the Linux simulator
# (scripts/smoke-windows-gui.sh), checks the packages and runs the installed tool as a user who
# cannot write to its folder (scripts/check-windows-package.sh), and then the library and the
# simulator across the two systems on loopback:
#   - capstan.dll under Wine against the Linux simulator, over TCP and over a serial line (a
#     pseudo-terminal that Wine serves as COM9);
#   - the Linux library against the Windows simulator under Wine, stopped with Ctrl+C.
# Installs what is missing (mingw-w64, Wine). The Wine prefix lives in build/windows/wineprefix.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
bin=$build/bin
linux_bin=build/dev/bin
serial_port=COM9

started=$SECONDS
phase() { echo "== $1 ($((SECONDS - started)) s so far)"; }

phase "installing what is missing"
# xdotool and imagemagick: X key events and the screenshot of the smoke run. nsis: the
# installer (CPack's NSIS generator runs its makensis).
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix googletest wine wine64 unzip xdotool \
  imagemagick nsis

phase "Qt kit for mingw-w64"
kit_tarball=../shared/qt6-mingw/qt6-mingw-6.4.2-x86_64.tar.xz
kit_sha256=549f908a2a3fd5ad7f45b5a0e1b38b833268765465c4e515758c715b6552e4a3
if [ -n "${QUILLSTONE_QT_MINGW:-}" ]; then
  echo "using the kit in $QUILLSTONE_QT_MINGW"
elif [ -f build/qt6-mingw/lib/cmake/Qt6/Qt6Config.cmake ]; then
  echo "using the kit unpacked in build/qt6-mingw"
elif [ -f "$kit_tarball" ]; then
  echo "$kit_sha256  $kit_tarball" | sha256sum -c --quiet
  mkdir -p build
  tar -xJf "$kit_tarball" -C build
  echo "unpacked $kit_tarball into build/qt6-mingw"
else
  echo "no Qt kit for mingw-w64 (QUILLSTONE_QT_MINGW unset, no $kit_tarball):" \
    "the GUI, its tests and the Windows package are not built"
fi

phase "cross build"
cmake --preset windows >/dev/null
cmake --build --preset windows
# Whether this configuration builds the GUI (a stale quillstone.exe from an earlier one does not
# count).
gui_built=false
if ninja -C "$build" -t query bin/quillstone.exe >/dev/null 2>&1; then gui_built=true; fi

phase "capstan.dll exports"
# The name table lists one "[ n] NAME" line per exported name.
exports=$(x86_64-w64-mingw32-objdump -p "$bin/capstan.dll" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '$1 == "[" { print $3 }' | sort | xargs)
echo "exported: $exports"
if [ "$exports" != "HALYARD_CLOSE HALYARD_INIT HALYARD_SENDCMD" ]; then
  echo "capstan.dll must export exactly HALYARD_INIT, HALYARD_SENDCMD and HALYARD_CLOSE" >&2
  exit 1
fi

export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
# arp.exe: the prefix's ARP tool is our recording stand-in (below), never Wine's own.
export WINEDLLOVERRIDES="mscoree,mshtml=;arp.exe=n"

# Everything started here is ended on the way out, this prefix's Wine server last.
children=()
cleanup() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

phase "Wine prefix"
# One server for the whole run, so that each test program starts without setting Wine up again.
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || echo "(a Wine server for this prefix is running already)"
# The first start creates the prefix; its chatter goes to a log shown only when it fails.
if ! wineboot -i >"$build/wineboot.log" 2>&1; then
  cat "$build/wineboot.log" >&2
  exit 1
fi

# The tool's ARP step starts the system's ARP.EXE: in this prefix that is a stand-in that only
# records its arguments (in system32/arp-calls.log).
cp "$bin/arp-stub.exe" "$WINEPREFIX/drive_c/windows/system32/arp.exe"

phase "tests under Wine"
# cmake/wine-run.sh logs here each program Wine failed to start and started again.
restarts_log=$build/wine-restarts.log
rm -f "$restarts_log"
ctest_status=0
ctest --preset windows || ctest_status=$?
if [ -s "$restarts_log" ]; then
  echo "Wine started nothing on $(wc -l <"$restarts_log") runs, each started again:"
  cat "$restarts_log"
fi
[ "$ctest_status" -eq 0 ] || exit "$ctest_status"

if $gui_built; then
  phase "Windows packages: the ZIP and the installer"
  cmake --build --preset windows --target package
fi

phase "the Linux simulator and library for the other side"
cmake --preset dev >/dev/null
cmake --build --preset dev --target quillstone-devsim capstan_tests -j2

if $gui_built; then
  phase "the packaged tool under Wine + Xvfb against the Linux simulator"
  bash scripts/smoke-windows-gui.sh
  phase "the installer: the installed tool as a user who cannot write to its folder"
  bash scripts/check-windows-package.sh
fi

# Starts a program in the background with its output in a log and waits until it prints a line
# matching `pattern`; sets `started_pid` and `started_line` (Windows line ends removed).
start_and_wait() {
  local log=$1 pattern=$2
  shift 2
  "$@" </dev/null >"$log" 2>&1 &
  started_pid=$!
  children+=("$started_pid")
  for _ in $(seq 200); do
    if grep -q "$pattern" "$log"; then
      started_line=$(tr -d '\r' <"$log" | grep -m1 "$pattern")
      echo "$started_line"
      return 0
    fi
    sleep 0.05
  done
  echo "no '$pattern' from $*:" >&2
  cat "$log" >&2
  return 1
}

# The port of a simulator's "listening on 127.0.0.1:PORT, device N" line.
listening_port() {
  local port=${started_line##*127.0.0.1:}
  echo "${port%%,*}"
}

phase "capstan.dll under Wine against the Linux simulator over TCP"
start_and_wait "$build/devsim-tcp.log" "listening on" \
  "$linux_bin/quillstone-devsim" --listen 127.0.0.1:0
QUILLSTONE_EXTERNAL_DEVICE_TCP="127.0.0.1:$(listening_port)" \
  cmake/wine-run.sh "$bin/capstan_tests.exe" --gtest_filter=ExternalDevice.AnswersOverTcp
kill "$started_pid"

phase "capstan.dll under Wine against the Linux simulator over $serial_port"
start_and_wait "$build/devsim-pty.log" "pseudo-terminal" "$linux_bin/quillstone-devsim" --pty
pty=${started_line#*pseudo-terminal }
pty=${pty%%,*}
# Wine opens COMn through the link of that name in the prefix's device folder.
ln -sfn "$pty" "$WINEPREFIX/dosdevices/${serial_port,,}"
QUILLSTONE_EXTERNAL_DEVICE_SERIAL=$serial_port \
  cmake/wine-run.sh "$bin/capstan_tests.exe" --gtest_filter=ExternalDevice.AnswersOverASerialLine
rm -f "$WINEPREFIX/dosdevices/${serial_port,,}"
kill "$started_pid"

phase "the Linux library against the Windows simulator under Wine"
start_and_wait "$build/devsim-windows.log" "listening on" \
  wine "$bin/quillstone-devsim.exe" --listen 127.0.0.1:0
QUILLSTONE_EXTERNAL_DEVICE_TCP="127.0.0.1:$(listening_port)" \
  "$linux_bin/capstan_tests" --gtest_filter=ExternalDevice.AnswersOverTcp
# Wine passes SIGINT on as the console's Ctrl+C.
kill -INT "$started_pid"
wait "$started_pid"
tr -d '\r' <"$build/devsim-windows.log" | grep -qx "quillstone-devsim: stopped"
echo "the Windows simulator stopped on Ctrl+C"

phase "done"
