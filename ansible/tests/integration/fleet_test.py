# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)
"""The collection end to end: ansible-playbook against three sites on this machine.

Each site is an inventory host with ansible_connection=local and its own simulated fleet
(quillstone-devsim --devices N on its own loopback ports, its own state folder and log); one
site lists its devices as dicts from the inventory, each with its own wifiip and one with its
own passphrase. The runs: check with diff (changes shown, nothing written, no secret shown),
apply (changed, the devices hold the options), the same apply again (not changed, no
restart), device_info reading every site back (values per device, secrets masked unless
asked, nothing written, in check mode too), a site with a device that refuses an option (that
site fails naming it, the others complete), an unknown option name (the task fails with the
CLI's file:line:column, nothing is sent), a wrong argument (its message unmangled, no secret
shown with -vvv), a wrong cli_path, and the deprecated name of the failure limit.

Exit 0 when every step passed, 1 on the first failed step, 77 (skipped) when ansible-core is
not installed. --timing also runs check, apply and the same apply again for one site of three
devices alone and for one site of nine (as many as the three sites together), and prints the
times and their ratios.
"""

from __future__ import absolute_import, division, print_function

import argparse
import json
import os
import random
import re
import resource
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
DEVICES_PER_SITE = 3
SECRET = "Tr0ub4dor-Secret"
DEVICE_SECRET = "Corr3ct-Horse-Battery"
OPTIONS = {"WIFI": "1", "SSID": "Office", "wifidhcp": "0", "WPAPSK": SECRET}
# The site whose devices come from the inventory as dicts with options of their own.
DICT_SITE = "site-c"
INFO_NAMES = ["WIFI", "SSID", "wifidhcp", "WPAPSK", "wifiip"]
HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTION = os.path.dirname(os.path.dirname(HERE))
STARTUP_SECONDS = 10
PLAYBOOK_SECONDS = 120


class StepFailed(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise StepFailed(what)


def ports_free(base, count):
    sockets = []
    try:
        for port in range(base, base + count):
            listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            sockets.append(listener)
            listener.bind(("127.0.0.1", port))
        return True
    except OSError:
        return False
    finally:
        for listener in sockets:
            listener.close()


class Fleet(object):
    """One quillstone-devsim --devices N on free consecutive loopback ports."""

    def __init__(self, devsim, folder, name, count, faults=()):
        self.log = os.path.join(folder, name + ".log")
        self.state = os.path.join(folder, name + "-state")
        os.mkdir(self.state)
        # One device takes --state as its file, a fleet as a folder of them.
        state = ["--state", os.path.join(self.state, "device.state")] if count == 1 else [
            "--devices", str(count), "--state", self.state]
        for _ in range(20):
            base = random.randint(20000, 60000)
            if not ports_free(base, count):
                continue
            self.process = subprocess.Popen(
                [devsim, "--listen", "127.0.0.1:%d" % base, "--log", self.log] + state +
                list(faults),
                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
            ready, _, _ = select.select([self.process.stdout], [], [], STARTUP_SECONDS)
            line = self.process.stdout.readline() if ready else ""
            if "listening on" in line:
                self.ports = list(range(base, base + count))
                self.devices = ["tcp:127.0.0.1:%d" % port for port in self.ports]
                self.entries = list(self.devices)
                self.wanted = [dict(OPTIONS) for _ in self.ports]
                return
            self.stop()  # lost a race for a port: another block
        raise StepFailed("quillstone-devsim did not start for " + name)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)
        self.process.stdout.close()

    def log_lines(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as log:
            return log.read().splitlines()

    def writes(self):
        return [line for line in self.log_lines() if " code=12 " in line]

    def restarts(self):
        return [line for line in self.log_lines() if "event=restart" in line]

    def give_own_options(self):
        """The devices as dicts, as a playbook builds them from inventory variables: each its
        own wifiip, the first its own passphrase."""
        self.entries = []
        for index, device in enumerate(self.devices):
            own = {"wifiip": "10.3.0.%d" % (index + 1)}
            if index == 0:
                own["WPAPSK"] = DEVICE_SECRET
            self.entries.append({"device": device, "options": own})
            self.wanted[index].update(own)

    def store(self, index):
        path = os.path.join(self.state, "device-%d.state" % self.ports[index])
        if not os.path.exists(path):
            return ""
        with open(path) as store:
            return store.read()


class Playbook(object):
    def __init__(self, folder, cli, sites):
        self.folder = folder
        self.inventory = os.path.join(folder, "inventory.json")
        collections = os.path.join(folder, "collections", "ansible_collections", "quillstone")
        os.makedirs(collections)
        os.symlink(COLLECTION, os.path.join(collections, "fleet"))
        stubs = os.path.join(folder, "stubs")
        os.mkdir(stubs)
        # The CLI's ARP housekeeping runs `ip`; it must never reach the machine's own.
        self.stub_calls = os.path.join(folder, "stub-calls")
        for tool in ("ip", "arp"):
            path = os.path.join(stubs, tool)
            with open(path, "w") as stub:
                stub.write('#!/bin/sh\necho "%s $*" >> "%s"\n' % (tool, self.stub_calls))
            os.chmod(path, 0o755)
        self.environment = dict(
            os.environ,
            PATH=stubs + os.pathsep + os.environ.get("PATH", ""),
            ANSIBLE_COLLECTIONS_PATH=os.path.join(folder, "collections"),
            ANSIBLE_LOCAL_TEMP=os.path.join(folder, "tmp-local"),
            ANSIBLE_REMOTE_TEMP=os.path.join(folder, "tmp-remote"),
            ANSIBLE_HOME=os.path.join(folder, "ansible-home"),
            ANSIBLE_NOCOLOR="1",
            ANSIBLE_FORCE_COLOR="0",
            ANSIBLE_RETRY_FILES_ENABLED="0",
            ANSIBLE_STDOUT_CALLBACK="default",
            ANSIBLE_FORKS="5")
        self.cli = cli
        self.write_inventory(sites)

    def write_inventory(self, sites):
        hosts = {}
        for name, devices in sites.items():
            hosts[name] = dict(ansible_connection="local",
                               ansible_python_interpreter=sys.executable,
                               site_devices=devices,
                               site_device_count=len(devices))
        inventory = {"sites": {"hosts": hosts,
                               "vars": {"site_options": OPTIONS, "quillstone_cli": self.cli}}}
        with open(self.inventory, "w") as out:
            json.dump(inventory, out)

    def run(self, *arguments, **keywords):
        """Exit code, output, and (seconds, CPU seconds of ansible and the CLI) of one run."""
        playbook = os.path.join(HERE, keywords.get("playbook", "site.yml"))
        started = time.monotonic()
        cpu = cpu_seconds()
        done = subprocess.run(
            ["ansible-playbook", "-i", self.inventory, playbook] + list(arguments),
            env=self.environment, stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT, universal_newlines=True, timeout=PLAYBOOK_SECONDS,
            check=False)
        return (done.returncode, done.stdout,
                (time.monotonic() - started, cpu_seconds() - cpu))


def cpu_seconds():
    """CPU time of the finished child processes: ansible-playbook, its workers, the modules and
    quillstone-cli (the simulators still run, so they do not count). Less noisy than the
    wall clock on a shared machine."""
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def recap(output):
    """Per host from PLAY RECAP: ok, changed, failed."""
    hosts = {}
    for match in re.finditer(r"^(\S+)\s+:\s+ok=(\d+)\s+changed=(\d+)\s+unreachable=\d+\s+"
                             r"failed=(\d+)", output, re.MULTILINE):
        hosts[match.group(1)] = dict(ok=int(match.group(2)), changed=int(match.group(3)),
                                     failed=int(match.group(4)))
    return hosts


def expect_recap(output, expected, step):
    found = recap(output)
    expect(found == expected, "%s: the recap is %s, expected %s\n%s" %
           (step, found, expected, output))


def expect_no_secret(output, step):
    for secret in (SECRET, DEVICE_SECRET):
        expect(secret not in output, "%s: the output shows a secret value\n%s" % (step, output))


def steps(playbook, fleets, timings, prefix):
    names = sorted(fleets)
    changed = dict((name, dict(ok=1, changed=1, failed=0)) for name in names)
    unchanged = dict((name, dict(ok=1, changed=0, failed=0)) for name in names)
    limit = ["--limit", ",".join(names)]

    # -vvv: the whole result is printed, the task's arguments (invocation) included.
    rc, output, timings[prefix + "check"] = playbook.run("--check", "--diff", "-vvv", *limit)
    expect(rc == 0, "check: ansible-playbook ended with %d\n%s" % (rc, output))
    expect_recap(output, changed, "check")
    for fleet in fleets.values():
        for device in fleet.devices:
            expect("+++ after: " + device in output, "check: no diff for " + device)
        expect(fleet.writes() == [], "check: the simulator logged writes %s" % fleet.writes())
        expect(fleet.restarts() == [], "check: a device restarted")
    expect("+SSID=Office" in output and "+WPAPSK=********" in output,
           "check: the diff does not show the options\n" + output)
    expect_no_secret(output, "check")

    rc, output, timings[prefix + "apply"] = playbook.run("--diff", *limit)
    expect(rc == 0, "apply: ansible-playbook ended with %d\n%s" % (rc, output))
    expect_recap(output, changed, "apply")
    expect_no_secret(output, "apply")
    for name, fleet in fleets.items():
        for index, wanted in enumerate(fleet.wanted):
            store = fleet.store(index)
            for option, value in wanted.items():
                expect("\n%s=%s\n" % (option, value) in store,
                       "apply: %s device %d does not hold %s=%s:\n%s" %
                       (name, index, option, value, store))
        expect(len(fleet.restarts()) == len(fleet.devices),
               "apply: %s restarted %d times" % (name, len(fleet.restarts())))

    writes = dict((name, len(fleet.writes())) for name, fleet in fleets.items())
    rc, output, timings[prefix + "again"] = playbook.run(*limit)
    expect(rc == 0, "again: ansible-playbook ended with %d\n%s" % (rc, output))
    expect_recap(output, unchanged, "again")
    for name, fleet in fleets.items():
        expect(len(fleet.writes()) == writes[name], "again: %s got writes" % name)
        expect(len(fleet.restarts()) == len(fleet.devices), "again: %s restarted" % name)


def refusing_site(playbook, refusing, sites):
    """Site b also has a device that refuses SSID: its task fails, the other sites complete."""
    with_refusing = dict(sites)
    with_refusing["site-b"] = sites["site-b"] + refusing.devices
    playbook.write_inventory(with_refusing)
    rc, output, _ = playbook.run()
    expect(rc != 0, "refused: ansible-playbook succeeded\n" + output)
    expect_recap(output, {"site-a": dict(ok=1, changed=0, failed=0),
                          "site-b": dict(ok=0, changed=0, failed=1),
                          "site-c": dict(ok=1, changed=0, failed=0)}, "refused")
    fatal = [line for line in output.splitlines() if line.startswith("fatal: [site-b]")]
    expect(fatal, "refused: no failure line for site-b\n" + output)
    expect("1 of 4 devices failed: %s: SSID: refused by the device (twice)" % refusing.devices[0]
           in fatal[0], "refused: the failure does not name the device and why\n" + output)
    refused = [line for line in refusing.writes() if 'request="SSID=Office" reply=2001' in line]
    expect(len(refused) == 2, "refused: the device's writes %s" % refusing.writes())


def bad_input(playbook, fleet):
    """An unknown option name fails the task with the CLI's place for it; nothing is sent."""
    commands = len(fleet.log_lines())
    options = dict(OPTIONS, SIDD="Office")
    rc, output, _ = playbook.run("-vvv", "--limit", "site-a", "-e",
                                 json.dumps({"site_options": options}))
    expect(rc != 0, "bad input: ansible-playbook succeeded\n" + output)
    expect("options:5:1: unknown option name 'SIDD'" in output,
           "bad input: no place and reason in\n" + output)
    expect_no_secret(output, "bad input")
    expect(len(fleet.log_lines()) == commands, "bad input: the devices were contacted")


def device_info(playbook, fleets):
    """device_info reads every site back: the values per device, secrets masked unless asked,
    nothing written, the same in check mode."""
    names = sorted(fleets)
    writes = dict((name, len(fleet.writes())) for name, fleet in fleets.items())
    # A device fails the read of an option it does not hold: wifiip only where it was given.
    read, expected, passphrases = {}, {}, {}
    for name, fleet in fleets.items():
        read[name] = [option for option in INFO_NAMES if option in fleet.wanted[0]]
        expected[name] = {}
        for device, wanted in zip(fleet.devices, fleet.wanted):
            expected[name][device] = dict((option, wanted[option]) for option in read[name])
            expected[name][device]["WPAPSK"] = "********"
            passphrases[device] = wanted["WPAPSK"]
    variables = json.dumps(dict(names=read, expected=expected, passphrases=passphrases))
    for arguments in ([], ["--check"]):
        rc, output, _ = playbook.run("-v", "--limit", ",".join(names), "-e", variables,
                                     *arguments, playbook="info.yml")
        expect(rc == 0, "info %s: ansible-playbook ended with %d\n%s" % (arguments, rc, output))
        expect_recap(output, dict((name, dict(ok=4, changed=0, failed=0)) for name in names),
                     "info %s" % arguments)
        expect_no_secret(output, "info")
        expect('"WPAPSK": "********"' in output, "info: no masked passphrase in\n" + output)
    for name, fleet in fleets.items():
        expect(len(fleet.writes()) == writes[name], "info: %s got writes" % name)


def wrong_arguments(playbook, fleet):
    """A wrong argument fails with Ansible's message unmangled (WIFI's "1" is no secret) and no
    secret shown even with -vvv; a wrong cli_path names the path tried; nothing is sent."""
    commands = len(fleet.log_lines())
    first = fleet.devices[0]
    cases = [
        ({"site_jobs": "many"}, "argument 'jobs' is of type"),
        ({"site_devices": [first, {"device": first, "options": {"WPAPSK": DEVICE_SECRET}}]},
         "quillstone-cli: devices[1]: device %s is listed already at devices[0]" % first),
        ({"site_devices": [{"device": first, "options": {"wifiipp": "10.0.0.1"}}]},
         "devices[0].options: unknown option name 'wifiipp'"),
        ({"quillstone_cli": "/nowhere/bin/quillstone-cli"},
         "quillstone-cli not found at /nowhere/bin/quillstone-cli (set cli_path or install the "
         "package)"),
    ]
    for variables, message in cases:
        rc, output, _ = playbook.run("-vvv", "--limit", "site-a", "-e", json.dumps(variables))
        expect(rc != 0, "wrong %s: ansible-playbook succeeded\n%s" % (variables, output))
        shown = [line for line in output.splitlines() if line.strip().startswith('"msg": ')]
        expect(shown and message in shown[-1] and "*" not in shown[-1],
               "wrong %s: not the message %r in\n%s" % (variables, message, output))
        expect('"WIFI": "1"' in output, "wrong %s: the invocation hides WIFI's value\n%s" %
               (variables, output))
        expect_no_secret(output, "wrong %s" % variables)
    expect(len(fleet.log_lines()) == commands, "wrong arguments: the devices were contacted")


def deprecated_limit(playbook):
    """The failure limit's old name still works, with Ansible's deprecation warning."""
    rc, output, _ = playbook.run("--check", "--limit", "site-a", playbook="deprecated.yml")
    expect(rc == 0, "deprecated: ansible-playbook ended with %d\n%s" % (rc, output))
    expect("[DEPRECATION WARNING]: Alias 'max_fail_percentage' is deprecated" in output,
           "deprecated: no deprecation warning in\n" + output)


def ratio_lines(timings, alone):
    lines = []
    for what in ("check", "apply", "again"):
        wall, cpu = timings[what]
        line = "%-6s three sites %.2f s (CPU %.2f s)" % (what, wall, cpu)
        for name in alone:
            alone_wall, alone_cpu = timings["%s %s" % (name, what)]
            line += "; %s %.2f s (CPU %.2f s), ratio %.2f (CPU %.2f)" % (
                name, alone_wall, alone_cpu, wall / alone_wall, cpu / alone_cpu)
        lines.append(line)
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="quillstone-cli")
    parser.add_argument("--devsim", required=True, help="quillstone-devsim")
    parser.add_argument("--timing", action="store_true",
                        help="also time one site alone and print both")
    arguments = parser.parse_args()
    if shutil.which("ansible-playbook") is None:
        print("skipped: ansible-playbook not found (Debian package ansible-core, "
              "scripts/install-deps.sh installs it)")
        return SKIPPED

    folder = tempfile.mkdtemp(prefix="quillstone-fleet-")
    started = []

    def fleet(name, count=DEVICES_PER_SITE, faults=()):
        started.append(Fleet(arguments.devsim, folder, name, count, faults))
        return started[-1]

    timings = {}
    try:
        fleets = dict((name, fleet(name)) for name in ("site-a", "site-b", "site-c"))
        fleets[DICT_SITE].give_own_options()
        refusing = fleet("refusing", 1, ["--refuse", "SSID:2"])
        # For the timing: one site as large as each of the three, one as large as all three.
        alone = dict((name, fleet(name, count)) for name, count in
                     (("one site of 3", DEVICES_PER_SITE), ("one site of 9", 3 * DEVICES_PER_SITE))
                     if arguments.timing)
        sites = dict((name, site.entries) for name, site in fleets.items())
        playbook = Playbook(folder, os.path.abspath(arguments.cli),
                            dict(sites, **dict((name.replace(" ", "-"), site.entries)
                                               for name, site in alone.items())))

        if alone:
            # The first playbook run fills the caches (Python, the collection): not timed.
            deprecated_limit(playbook)
        steps(playbook, fleets, timings, "")
        print("passed: check with diff, apply, the same apply again (three sites, one with "
              "devices as dicts)")
        for name in sorted(alone):
            steps(playbook, {name.replace(" ", "-"): alone[name]}, timings, name + " ")
        device_info(playbook, fleets)
        print("passed: device_info reads every site, secrets masked unless asked, nothing "
              "written, in check mode too")
        refusing_site(playbook, refusing, sites)
        print("passed: a site with a refusing device fails naming it, the others complete")
        bad_input(playbook, fleets["site-a"])
        print("passed: an unknown option name fails with its place, nothing sent")
        wrong_arguments(playbook, fleets["site-a"])
        print("passed: a wrong argument and a wrong cli_path fail with their messages unmangled, "
              "no secret shown")
        deprecated_limit(playbook)
        print("passed: the failure limit's old name works and warns")
        expect(os.path.exists(playbook.stub_calls), "the ARP stub was never reached")
        for line in ratio_lines(timings, sorted(alone)):
            print(line)
    except StepFailed as failure:
        print("FAILED: %s\n(the simulators' logs and stores are kept in %s)" % (failure, folder))
        return 1
    finally:
        for site in started:
            site.stop()
    shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
