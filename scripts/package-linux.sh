#!/usr/bin/env bash
# The Debian package: a release build of the tool, the library and the simulator (tests and
# benchmarks off), packed with `cpack -G DEB`, installed with apt-get (which pulls in Debian's Qt
# packages it depends on), and the installed simulator started. Run by CI.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

bash scripts/install-deps.sh
cmake --preset release -DQUILLSTONE_BUILD_TESTS=OFF -DQUILLSTONE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build --preset release
(cd build/release && cpack -G DEB)
deb=$(ls build/release/packages/quillstone_*.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Depends

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$PWD/$deb"
for program in quillstone quillstone-devsim; do
  if ldd "$(readlink -f "/usr/bin/$program")" | grep "not found"; then
    echo "the installed $program misses libraries" >&2
    exit 1
  fi
done
/usr/bin/quillstone-devsim --help
