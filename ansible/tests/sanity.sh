#!/usr/bin/env bash
# ansible-test sanity on the collection, as far as Debian's ansible-core runs it offline, then
# the module's documentation through ansible-doc.
#
# ansible-test wants the collection at ansible_collections/quillstone/fleet, so it runs on a
# copy. The sanity tests that pip-install pinned linters into their own virtual environment
# (ansible-doc, changelog, import, pep8, pylint, runtime-metadata, validate-modules, yamllint;
# pslint needs PowerShell) cannot run without downloads and are skipped; ansible-doc itself
# runs below, and the unit tests compare the documentation with ARGUMENT_SPEC.
set -euo pipefail
if ! command -v ansible-test > /dev/null; then
  echo "skipped: ansible-test not found (Debian package ansible-core, scripts/install-deps.sh installs it)"
  exit 77
fi
collection="$(cd "$(dirname "$0")/.." && pwd)"
# ansible-core's own Python, whatever python3 comes first on PATH.
python="$(head -1 "$(command -v ansible-test)" | sed 's/^#! *//; s/ .*//')"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ansible_collections/quillstone"
cp -r "$collection" "$work/ansible_collections/quillstone/fleet"
rm -rf "$work/ansible_collections/quillstone/fleet/tests/output"
cd "$work/ansible_collections/quillstone/fleet"
skipped=(ansible-doc changelog import pep8 pylint runtime-metadata validate-modules yamllint pslint)
ansible-test sanity --local --python-interpreter "$python" --color no \
  "${skipped[@]/#/--skip-test=}"
export ANSIBLE_COLLECTIONS_PATH="$work" ANSIBLE_HOME="$work/ansible-home"
for module in quillstone.fleet.device_options quillstone.fleet.device_info; do
  ansible-doc --json -t module "$module" | "$python" -c '
import json, sys
name = sys.argv[1]
doc = json.load(sys.stdin)[name]
missing = [part for part in ("doc", "examples", "return") if not doc.get(part)]
options = doc.get("doc", {}).get("options", {})
# The shared doc fragment is merged in: devices and cli_path come from it.
missing += ["option " + option for option in ("devices", "cli_path") if option not in options]
sys.exit("ansible-doc %s: no %s" % (name, ", ".join(missing)) if missing else 0)' "$module"
  ansible-doc -t module "$module" > /dev/null
  echo "ansible-doc shows $module"
done
