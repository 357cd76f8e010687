#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)

# The module stays thin: quillstone-cli on the site host does the apply, the check, the
# verification and the masking of secret values; this file turns arguments into its command
# line and its JSON report into Ansible's result, diff and failure.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: device_options
short_description: Write an option list to a site's terminal devices with quillstone-cli
version_added: "0.1.0"
description:
  - Runs C(quillstone-cli apply) on the site host, which must reach the site's devices over
    TCP/IP or RS232, and reports what each device got from the CLI's JSON report.
  - In check mode it runs C(quillstone-cli apply --check), which reads every option and writes
    nothing, restarts nothing.
  - In diff mode it returns, per device, the options that change, before and after. Outside
    check mode this costs one extra reading pass (the check) before the apply.
  - Values of secret options (passphrases, WEP keys, C(~) options) are masked by the CLI and
    never returned unless I(show_secrets=true).
  - A device that fails fails the task, naming the device and the reason, unless the share of
    failed devices stays within I(max_failed_devices_percentage).
extends_documentation_fragment:
  - quillstone.fleet.site
options:
  options:
    description:
      - The option list, option name to value, written in this order.
      - Numbers are taken as their text. Booleans are refused; quote C("1") or C("0").
      - The values of secret options (C(WPAPSK), C(Key1Str) to C(Key4Str), C(ModemPassword),
        every name beginning with C(~), and names the pages do not write that read like a
        secret) are hidden from every message, the invocation and the site host's system log;
        the other values stay readable.
      - Exactly one of I(options) and I(options_file) is required.
    type: dict
  options_file:
    description:
      - An option file on the site host, C(options.ini) as the window writes it or
        C(name=value) lines.
    type: path
  restart:
    description:
      - When a device is restarted after all its options were taken. C(changed) only restarts a
        device that had an option written, so a repeated run restarts nothing.
    type: str
    choices: [always, changed, never]
    default: changed
  verify:
    description:
      - Wait for each restarted device, read every option back and fail the device on a
        mismatch.
    type: bool
    default: false
  verify_timeout:
    description:
      - Seconds to wait for a restarted device when I(verify=true). The CLI's default (60)
        when not given.
    type: float
  allow_unknown_options:
    description:
      - Send option names that the tool's wireless and modem pages do not write, as they are.
        Otherwise such a name fails the task before anything is sent.
    type: bool
    default: false
  show_secrets:
    description:
      - Return values of secret options in clear text, those of the task's own arguments
        included (in the invocation too); the site host's system log entry of the call still
        hides them.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
notes:
  - The site host runs quillstone-cli; install it there (the Quillstone Debian package or the
    Windows ZIP). Devices of one site are reachable from its own network only.
seealso:
  - module: quillstone.fleet.device_info
author:
  - Quillstone developers
"""

EXAMPLES = r"""
- name: Show what would change on every device of the site
  quillstone.fleet.device_options:
    options:
      WIFI: "1"
      SSID: Office
      WPAPSK: "{{ vault_wpa_passphrase }}"
    devices_file: /etc/quillstone/site.csv
  check_mode: true
  diff: true

- name: Apply, restart only what changed, and read everything back
  quillstone.fleet.device_options:
    options_file: /etc/quillstone/options.ini
    devices:
      - tcp:10.1.0.20
      - tcp:10.1.0.21:4370
      - serial:COM1,device=2
    restart: changed
    verify: true
    jobs: 32

- name: Roll out to a large site, tolerating a few devices that are switched off
  quillstone.fleet.device_options:
    options_file: /etc/quillstone/options.ini
    devices_file: /etc/quillstone/site.csv
    max_failed_devices_percentage: 5

- name: Each device its own wireless address (a list built from inventory variables)
  quillstone.fleet.device_options:
    options:
      WIFI: "1"
      SSID: Office
      wifidhcp: "0"
      WPAPSK: "{{ vault_wpa_passphrase }}"
    devices:
      - device: tcp:10.1.0.20
        options:
          wifiip: 10.1.1.20
      - device: serial:COM1,device=2
        options:
          wifiip: 10.1.1.21
      - tcp:10.1.0.22
"""

RETURN = r"""
changed:
  description: True when some option was written (in check mode, when some option would change).
  returned: always
  type: bool
devices:
  description: One entry per device, as quillstone-cli reports it.
  returned: when quillstone-cli ran
  type: list
  elements: dict
  contains:
    device:
      description: The device, C(tcp:HOST:PORT) or C(serial:PORT,device=N,baud=B).
      type: str
      sample: tcp:10.1.0.20:4370
    result:
      description: C(done), C(verified), C(checked), C(failed), C(interrupted) or C(not started).
      type: str
      sample: verified
    written:
      description: Options the device acknowledged.
      type: int
    unchanged:
      description: Options already holding the value, not sent.
      type: int
    failed:
      description: Options refused twice, unanswered or lost.
      type: int
    restarted:
      description: Whether the device was restarted.
      type: bool
    verify:
      description: C(not asked), C(verified), C(failed) or C(skipped).
      type: str
    problem:
      description: Empty on success; otherwise the first failing option and what happened.
      type: str
      sample: "SSID: refused by the device (twice)"
    mismatches:
      description: What the verification found different.
      type: list
      elements: str
    changes:
      description: In check mode, the options that would change, secret values masked.
      type: list
      elements: dict
      sample: [{"name": "SSID", "before": "Lab", "after": "Office"}]
    options:
      description: Per option, C(written), C(unchanged), C(failed) or C(not tried) with why.
      type: list
      elements: dict
      sample: [{"name": "SSID", "result": "failed", "why": "refused by the device (twice)"}]
failed_devices:
  description: The devices that did not succeed, each with the reason.
  returned: when quillstone-cli ran
  type: list
  elements: dict
  sample: [{"device": "tcp:10.1.0.21:4370", "problem": "can not connect with device (refused)"}]
succeeded:
  description: How many devices succeeded.
  returned: when quillstone-cli ran
  type: int
cli_version:
  description: The version of quillstone-cli on the site host.
  returned: when quillstone-cli ran
  type: str
command:
  description: The quillstone-cli command line that ran (the option list as a file).
  returned: when quillstone-cli ran
  type: list
  elements: str
"""

from ansible_collections.quillstone.fleet.plugins.module_utils.fleet import (
    ArgumentError, FleetModule, check_option_name, check_site_arguments, cli_program,
    device_rows, devices_csv, fail_without_report, failed_devices, finish, option_value,
    parse_report, private_file, site_arguments, site_command_tail)

OPTIONS_FILE_NAME = "options.ini"
DEVICES_FILE_NAME = "devices.csv"


def option_text(options, allow_unknown=True):
    """The option list as the name=value lines the CLI reads, in the order given.

    Unknown names are left to the CLI, whose message names their place and the name meant.
    """
    lines = []
    for name, value in options.items():
        check_option_name(name, "options", allow_unknown)
        lines.append("%s=%s\n" % (name, option_value(name, value, "options")))
    return "".join(lines)


def cli_command(cli, params, options_path, devices_path, check):
    """quillstone-cli's command line for the module's arguments; no option value on it."""
    command = [cli, "apply", "--json", "--options", options_path]
    if check:
        command.append("--check")
    else:
        command += ["--restart", params["restart"]]
        if params["verify"]:
            command.append("--verify")
            if params.get("verify_timeout") is not None:
                command += ["--verify-timeout", str(params["verify_timeout"])]
    if params["show_secrets"]:
        command.append("--show-secrets")
    if params["allow_unknown_options"]:
        command.append("--allow-unknown-options")
    return command + site_command_tail(params, devices_path)


def check_arguments(params):
    check_site_arguments(params)
    if params.get("options") is not None and not params["options"]:
        raise ArgumentError("options: the option list is empty")


def device_result(entry):
    """One device's entry in the module's result."""
    result = dict(
        device=entry["device"],
        result=entry["result"],
        written=entry["written"],
        unchanged=entry["unchanged"],
        failed=entry["failed"],
        restarted=entry["restarted"],
        verify=entry["verify"],
        problem=entry["problem"],
        mismatches=entry["mismatches"],
        options=entry["optionResults"],
    )
    if entry["result"] == "checked":
        result["changes"] = entry["changeValues"]
    return result


def was_changed(report, check):
    if check:
        return any(entry.get("changeValues") for entry in report["devices"])
    return any(entry["written"] > 0 for entry in report["devices"])


def _lines(values):
    return "".join("%s=%s\n" % pair for pair in values)


def device_diffs(check_report, applied=None):
    """Ansible's diff, one entry per device with a change.

    From a check report; with the apply's report, only the options it wrote (and only for
    devices it wrote to).
    """
    written = None
    if applied is not None:
        written = {}
        for entry in applied["devices"]:
            written[entry["device"]] = set(
                option["name"] for option in entry["optionResults"] if option["result"] == "written")
    diffs = []
    for entry in check_report["devices"]:
        changes = entry.get("changeValues") or []
        if written is not None:
            changes = [change for change in changes
                       if change["name"] in written.get(entry["device"], ())]
        if not changes:
            continue
        diffs.append(dict(
            before_header=entry["device"],
            after_header=entry["device"],
            before=_lines((change["name"], change["before"]) for change in changes
                          if "before" in change),
            after=_lines((change["name"], change["after"]) for change in changes)))
    return diffs


ARGUMENT_SPEC = dict(
    # Not no_log as a whole: FleetModule hides the values of the secret options only.
    options=dict(type="dict", no_log=False),
    options_file=dict(type="path"),
    restart=dict(type="str", choices=["always", "changed", "never"], default="changed"),
    verify=dict(type="bool", default=False),
    verify_timeout=dict(type="float"),
    allow_unknown_options=dict(type="bool", default=False),
    show_secrets=dict(type="bool", default=False),
    **site_arguments()
)


def main():
    module = FleetModule(
        argument_spec=ARGUMENT_SPEC,
        mutually_exclusive=[("options", "options_file"), ("devices", "devices_file")],
        required_one_of=[("options", "options_file"), ("devices", "devices_file")],
        supports_check_mode=True,
    )
    params = module.params
    cli = cli_program(module)
    csv = text = None
    try:
        check_arguments(params)
        if params["options"] is not None:
            text = option_text(params["options"])
        if params["devices"] is not None:
            csv = devices_csv(device_rows(params["devices"], params["allow_unknown_options"]))
    except ArgumentError as error:
        module.fail_json(msg=str(error))

    # Option values and per-device values reach the CLI in files only the site host's user can
    # read, never on its command line.
    with private_file(module, OPTIONS_FILE_NAME, text) as temp_options:
        with private_file(module, DEVICES_FILE_NAME, csv) as temp_devices:
            options_path = temp_options or params["options_file"]

            def run(check):
                command = cli_command(cli, params, options_path, temp_devices, check)
                rc, stdout, stderr = module.run_command(command)
                report = parse_report(stdout) if rc in (0, 1) else None
                if report is None:
                    fail_without_report(module, rc, stdout, stderr, temp_options, temp_devices,
                                        command=command)
                return command, report

            check = module.check_mode
            # Outside check mode the diff needs the values before the apply: a check first.
            planned = run(True)[1] if module._diff and not check else None
            command, report = run(check)

    result = dict(
        changed=was_changed(report, check),
        command=command,
        cli_version=report.get("version", ""),
        devices=[device_result(entry) for entry in report["devices"]],
        failed_devices=failed_devices(report),
        succeeded=report["succeeded"],
    )
    if module._diff:
        result["diff"] = device_diffs(planned or report, None if check else report)
    finish(module, result, len(report["devices"]))


if __name__ == "__main__":
    main()
