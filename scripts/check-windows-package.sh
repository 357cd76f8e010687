#!/usr/bin/env bash
# The Windows packages of the windows preset, checked as users get them (run as root by
# scripts/test-windows.sh after the package and the ZIP's smoke run):
#   - every program carries the project's version and its manifest, and no DLL in the ZIP
#     carries debug data; the sizes of the ZIP, its unpacked folder and the installer;
#   - the installer under Wine, as a user of its own (created here, with its own Wine prefix):
#     installed silently (/S) into Program Files with its Start-menu entry, the uninstaller and
#     the licences; the program folder then made read-only on the Unix side, as Program Files
#     is for a user; that user's run of the installed tool by keyboard against the Linux
#     simulator (scripts/smoke-windows-gui.sh --installed), whose settings must land in the
#     user's %APPDATA%\Quillstone; then the silent uninstall, which must leave no program folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
user=quillstone-smoke
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$build/packages/Quillstone-$version-win64.zip
installer=$build/packages/Quillstone-$version-win64.exe
for package in "$zip" "$installer"; do
  [ -f "$package" ] || { echo "no $package: build the package target first" >&2; exit 1; }
done
if [ "$(id -u)" -ne 0 ]; then
  echo "run as root: the installed tool is run by a user created for it" >&2
  exit 1
fi

echo "== the ZIP's contents"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
app=$unpacked/Quillstone-$version-win64
for program in quillstone quillstone-cli quillstone-devsim; do
  exe=$app/$program.exe
  # The version resource's strings are UTF-16; the manifest is plain text.
  strings -el "$exe" | grep -qx "$version" || { echo "$program.exe: no version $version" >&2; exit 1; }
  for setting in 'level="asInvoker"' '>PerMonitorV2<' '>UTF-8</activeCodePage>'; do
    strings -a "$exe" | grep -qF "$setting" || { echo "$program.exe: no $setting" >&2; exit 1; }
  done
done
strings -el "$app/capstan.dll" | grep -qx "$version" || { echo "capstan.dll: no version" >&2; exit 1; }
while IFS= read -r -d '' dll; do
  if x86_64-w64-mingw32-objdump -h "$dll" | grep -q ' \.debug_'; then
    echo "${dll#"$app/"} carries debug data" >&2
    exit 1
  fi
done < <(find "$app" -name '*.dll' -print0)
[ -f "$app/licences/LICENSE.txt" ] || { echo "no licences/LICENSE.txt in the ZIP" >&2; exit 1; }
echo "version $version, manifest in each program, no DLL with debug data, LICENSE.txt"
echo "sizes: ZIP $(stat -c %s "$zip") B, unpacked $(du -sb "$app" | cut -f1) B," \
  "installer $(stat -c %s "$installer") B"

echo "== the installer as the user $user"
id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
prefix=$home/wineprefix
smoke=$home/smoke
as_user() {
  runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" PATH="$PATH" \
    LANG=C.UTF-8 WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;arp.exe=n" \
    "$@"
}
program="$prefix/drive_c/Program Files/Quillstone"
cleanup() {
  rm -rf "$unpacked"
  [ -d "$program" ] && chmod -R u+w "$program"
  as_user wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# A fresh prefix: the user's first start of the installed tool is the case to see.
as_user wineserver -k 2>/dev/null || true
rm -rf "$prefix" "$smoke"
if ! as_user wineboot -i >"$build/wineboot-$user.log" 2>&1; then
  cat "$build/wineboot-$user.log" >&2
  exit 1
fi
as_user cp "$build/bin/arp-stub.exe" "$prefix/drive_c/windows/system32/arp.exe"
as_user mkdir -p "$smoke"

as_user wine "$installer" /S
# The installer's own helpers end with it: the prefix is quiet once everything is in place.
as_user wineserver -w
for file in quillstone.exe quillstone-cli.exe capstan.dll Uninstall.exe licences/LICENSE.txt \
  licences/THIRD-PARTY.txt; do
  [ -f "$program/$file" ] || { echo "the installer put no $file in $program" >&2; exit 1; }
done
shortcut=$(find "$prefix/drive_c" -path '*/Start Menu/Programs/Quillstone/Quillstone.lnk' | head -1)
[ -n "$shortcut" ] || { echo "no Start-menu entry Quillstone" >&2; exit 1; }
echo "installed into $program; Start-menu entry ${shortcut#"$prefix/drive_c/"}"

# The device's address as an administrator ships it beside the program: the starting values of
# every user's settings. A closed loopback port, for the simulator of the smoke run.
port=""
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    port=$candidate
    break
  fi
done
[ -n "$port" ] || { echo "no closed loopback port found" >&2; exit 1; }
printf '[Config]\r\nlocatIP=127.0.0.1\r\nPort=%s\r\n' "$port" >"$program/options.ini"
# Program Files as a user finds it: nothing in it may be written.
chmod -R a-w "$program"

as_user env QUILLSTONE_SMOKE_DIR="$smoke" QUILLSTONE_SMOKE_PORT="$port" \
  bash scripts/smoke-windows-gui.sh --installed "$program"
rm -rf "$build/installed-smoke"
cp -r "$smoke" "$build/installed-smoke"
echo "screenshots of the installed run: $build/installed-smoke/*.png"

echo "== the silent uninstall"
# Removing a program is the administrator's right, which the Unix side gives back here.
chmod -R u+w "$program"
as_user wine "$program/Uninstall.exe" /S
# The uninstaller runs from a copy of itself that outlives the process started here.
as_user wineserver -w
if [ -e "$program" ]; then
  echo "the uninstaller left $program behind:" >&2
  find "$program" >&2
  exit 1
fi
[ ! -e "$shortcut" ] || { echo "the uninstaller left the Start-menu entry" >&2; exit 1; }
echo "uninstalled: no program folder, no Start-menu entry"
