#!/usr/bin/env bash
# The Debian package: a release build of the tool, the library and the simulator (tests and
# benchmarks off) with Debian's build flags, packed with `cpack -G DEB`, checked with lintian and
# appstreamcli, installed with apt-get (which pulls in Debian's Qt packages it depends on), used
# as a non-root user does (scripts/smoke-linux-gui.sh), then removed and purged: nothing of the
# program may stay behind, and the user's settings must. Run by CI, as root.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
started=$SECONDS
phase() { echo "== $1 (package-linux.sh at $((SECONDS - started)) s)"; }
fail() {
  echo "package-linux.sh: $*" >&2
  exit 1
}
apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get -y -qq "$@"; }

# lintian, appstream and desktop-file-utils check the package; bash-completion loads the
# installed completion as a user's shell does; Xvfb (in the common list), xdotool and
# imagemagick show the installed window, type into it and take its pictures.
bash scripts/install-deps.sh lintian appstream desktop-file-utils bash-completion xdotool \
  imagemagick

phase "release build"
# Debian's build flags with all hardening (PIE, full RELRO, bind now, fortified functions), as a
# Debian package is built; no -g, as the package's programs are stripped. Warnings are errors:
# the release build at -O3 with these flags is kept warning-free.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
# The changelog's date stands for the build's, e.g. in the manual pages, so a rebuild matches.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/linux/changelog -S Timestamp)
export SOURCE_DATE_EPOCH
cmake --preset release -DQUILLSTONE_BUILD_TESTS=OFF -DQUILLSTONE_BUILD_BENCHMARKS=OFF \
  -DQUILLSTONE_HELP_DOCS=ON -DQUILLSTONE_WERROR=ON \
  "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
  "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" \
  "-DCMAKE_SHARED_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build --preset release
rm -rf build/release/packages
(cd build/release && cpack -G DEB)
deb=$(ls build/release/packages/quillstone_*.deb)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Depends Recommends Maintainer
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] ||
  fail "the package's version is not $version"
[ "$(basename "$deb")" = "quillstone_${version}_amd64.deb" ] ||
  fail "the file name does not say version $version"

phase "lintian and appstreamcli"
# Errors and warnings fail; the overrides shipped in the package (in
# packaging/linux/lintian-overrides) say why each is there.
lintian --fail-on error,warning --display-info --pedantic "$deb"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
# --no-net: the metainfo's addresses are not fetched; the checks talk to no other machine.
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
# The metainfo's release is the changelog's newest entry, as dpkg reads it.
release="version=\"$version\" date=\"$(date -u -d "@$SOURCE_DATE_EPOCH" +%F)\""
grep -q "<release $release/>" "$unpacked"/usr/share/metainfo/*.metainfo.xml ||
  fail "the metainfo has no release $release"
for program in quillstone quillstone-cli quillstone-devsim; do
  [ -f "$unpacked/usr/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
done
for program in quillstone-cli quillstone-devsim; do
  [ -f "$unpacked/usr/share/bash-completion/completions/$program" ] ||
    fail "no bash completion for $program"
done
# As Debian's own strip leaves them: no compiler version strings (.comment) in the programs
# and the library.
for binary in "$unpacked"/usr/lib/quillstone/*; do
  readelf -h "$binary" >/dev/null 2>&1 || continue
  if readelf -S --wide "$binary" | grep -q ' \.comment '; then
    fail "$(basename "$binary") still has a .comment section"
  fi
done
# Hints too (such as two main categories, which list the tool twice in a menu).
desktop_check=$(desktop-file-validate "$unpacked"/usr/share/applications/*.desktop 2>&1)
[ -z "$desktop_check" ] || fail "desktop-file-validate: $desktop_check"

phase "install"
apt_get install "$PWD/$deb"
for program in quillstone quillstone-cli quillstone-devsim; do
  if ldd "$(readlink -f "/usr/bin/$program")" | grep "not found"; then
    fail "the installed $program misses libraries"
  fi
  [ "$("/usr/bin/$program" --version)" = "$program $version" ] ||
    fail "the installed $program --version does not say $version"
done
man -w quillstone quillstone-cli quillstone-devsim >/dev/null
# bash-completion finds the completion when the command is first completed, as in a user's shell.
restart_values=$(bash -c '. /usr/share/bash-completion/bash_completion
  _completion_loader quillstone-cli
  COMP_WORDS=(quillstone-cli apply --restart "") COMP_CWORD=3
  "$(complete -p quillstone-cli | sed "s/.*-F \([^ ]*\) .*/\1/")"
  echo "${COMPREPLY[*]}"')
[ "$restart_values" = "always changed never" ] ||
  fail "the installed completion offers '$restart_values' after apply --restart"

phase "the installed tool as a user uses it"
bash scripts/smoke-linux-gui.sh
home=$(getent passwd quillstone-smoke | cut -d: -f6)

phase "remove and purge"
program_dir=/usr/lib/quillstone
# A run as root keeps its settings beside the program, where dpkg does not know them.
leave_root_settings() {
  printf '[Config]\nPort=4370\n' >"$program_dir/options.ini"
  printf '[IPconfig]\n' >"$program_dir/IPconfig.ini"
}
leave_root_settings
apt_get remove quillstone
for left in "$program_dir" /usr/share/doc/quillstone /usr/bin/quillstone; do
  [ ! -e "$left" ] || fail "apt-get remove left $left behind"
done
apt_get install "$PWD/$deb"
leave_root_settings
apt_get purge quillstone
[ ! -e "$program_dir" ] || fail "apt-get purge left $program_dir behind"
if dpkg -s quillstone >/dev/null 2>&1; then fail "dpkg still has quillstone after the purge"; fi
[ -f "$home/.config/quillstone/options.ini" ] || fail "the user's settings went with the package"
echo "removed and purged: no $program_dir; the user's settings stay"
phase "done"
