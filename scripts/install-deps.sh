#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, when missing.
# Packages named as arguments are installed too (scripts/test-windows.sh adds its own).
set -euo pipefail
# libcli11-dev: quillstone-cli's command line (subcommands, option checks, help text).
# nlohmann-json3-dev: quillstone-cli's JSON report. Both header-only, so the Windows cross build
# uses the same headers.
# ansible-core: ansible-playbook, ansible-doc and ansible-test for the quillstone.fleet collection
# (ansible/), which drives quillstone-cli on many sites; its tests run the playbook locally.
# nettle-dev: the SHA-256 of quillstone-cli's audit record, from a small, well-kept library
# (Windows has its own in CNG).
# python3: packaging/linux/help-docs.py, which makes the manual pages and the bash completions
# from the programs' --help, and the tests that check them.
# fonts-wqy-microhei: a small font with the Chinese and full-width characters the window shows
# (the "提示" caption, the "？" of the confirmation, the page's "宋体" face); without one they
# are drawn as boxes when the tool or its screenshots run under Xvfb.
# at-spi2-core, python3-pyatspi, dbus: the accessibility check (scripts/check-accessibility.sh)
# runs the tool on a D-Bus session of its own (dbus-run-session) with the AT-SPI accessibility
# bus, as a screen reader meets it, and reads its accessible tree through pyatspi.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
          libbenchmark-dev clang-format xvfb xauth libcli11-dev nlohmann-json3-dev ansible-core
          nettle-dev python3 fonts-wqy-microhei at-spi2-core python3-pyatspi dbus "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
