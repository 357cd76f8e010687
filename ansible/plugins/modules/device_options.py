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
    failed devices stays within I(max_fail_percentage).
options:
  options:
    description:
      - The option list, option name to value, written in this order.
      - Numbers are taken as their text. Booleans are refused; quote C("1") or C("0").
      - Logged as a secret (C(no_log)); values of options that are not secret are shown in the
        result as the CLI reports them.
      - Exactly one of I(options) and I(options_file) is required.
    type: dict
  options_file:
    description:
      - An option file on the site host, C(options.ini) as the window writes it or
        C(name=value) lines.
    type: path
  devices:
    description:
      - Devices as C(tcp:HOST[:PORT]) or C(serial:PORT[,device=N][,baud=B]).
      - Exactly one of I(devices) and I(devices_file) is required.
    type: list
    elements: str
  devices_file:
    description:
      - A site CSV on the site host, a C(device) column and optional columns named after
        options that override them for the row's device.
    type: path
  jobs:
    description:
      - Devices at once over TCP. The CLI's default (16) when not given.
    type: int
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
  max_fail_percentage:
    description:
      - The task fails when more than this percentage of the devices failed. C(0) fails it on
        the first failed device; the failed devices are listed as warnings when they stay
        within the limit.
    type: int
    default: 0
  allow_unknown_options:
    description:
      - Send option names that the tool's wireless and modem pages do not write, as they are.
        Otherwise such a name fails the task before anything is sent.
    type: bool
    default: false
  show_secrets:
    description:
      - Return values of secret options in clear text.
    type: bool
    default: false
  cli_path:
    description:
      - The quillstone-cli program on the site host, a path or a name looked up on C(PATH).
    type: path
    default: quillstone-cli
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
notes:
  - The site host runs quillstone-cli; install it there (the Quillstone Debian package or the
    Windows ZIP). Devices of one site are reachable from its own network only.
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
    max_fail_percentage: 5
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

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.six import integer_types, string_types

SUCCEEDED = ("done", "verified", "checked")
EXIT_BAD_INPUT = 2
OPTIONS_FILE_NAME = "options.ini"
# What Ansible shows in place of a no_log argument.
NO_LOG_PLACEHOLDER = "VALUE_SPECIFIED_IN_NO_LOG_PARAMETER"


class ArgumentError(Exception):
    pass


def option_text(options):
    """The option list as the name=value lines the CLI reads, in the order given."""
    lines = []
    for name, value in options.items():
        if not isinstance(name, string_types) or not name:
            raise ArgumentError("options: an option name must be non-empty text")
        if "=" in name or "\r" in name or "\n" in name:
            raise ArgumentError("options: the option name %r holds '=' or a line break" % name)
        if isinstance(value, bool):
            raise ArgumentError(
                "options: %s is a boolean; quote the value the device expects, e.g. \"1\""
                % name)
        if isinstance(value, integer_types + (float,)):
            value = str(value)
        if value is None:
            value = ""
        if not isinstance(value, string_types):
            raise ArgumentError("options: the value of %s must be text or a number" % name)
        if "\r" in value or "\n" in value:
            raise ArgumentError("options: the value of %s holds a line break" % name)
        lines.append("%s=%s\n" % (name, value))
    return "".join(lines)


def cli_command(params, options_path, check):
    """quillstone-cli's command line for the module's arguments."""
    command = [params["cli_path"], "apply", "--json", "--options", options_path]
    if check:
        command.append("--check")
    else:
        command += ["--restart", params["restart"]]
        if params["verify"]:
            command.append("--verify")
            if params.get("verify_timeout") is not None:
                command += ["--verify-timeout", str(params["verify_timeout"])]
    if params.get("jobs") is not None:
        command += ["--jobs", str(params["jobs"])]
    if params["show_secrets"]:
        command.append("--show-secrets")
    if params["allow_unknown_options"]:
        command.append("--allow-unknown-options")
    if params.get("devices_file"):
        command += ["--devices", params["devices_file"]]
    else:
        # Devices after "--", so that none is taken for an option.
        command += ["--"] + list(params["devices"])
    return command


def check_arguments(params):
    if params["jobs"] is not None and params["jobs"] < 1:
        raise ArgumentError("jobs: at least 1")
    if not 0 <= params["max_fail_percentage"] <= 100:
        raise ArgumentError("max_fail_percentage: 0 to 100")
    if params.get("devices") is not None and not params["devices"]:
        raise ArgumentError("devices: the list is empty")
    if params.get("options") is not None and not params["options"]:
        raise ArgumentError("options: the option list is empty")


def parse_report(stdout):
    """The CLI's JSON report, or None when stdout holds none."""
    try:
        report = json.loads(stdout)
    except ValueError:
        return None
    if not isinstance(report, dict) or not isinstance(report.get("devices"), list):
        return None
    return report


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


def failed_devices(report):
    return [dict(device=entry["device"], problem=entry["problem"])
            for entry in report["devices"] if entry["result"] not in SUCCEEDED]


def too_many_failed(failed, total, max_fail_percentage):
    """As Ansible's max_fail_percentage: fails when the share of failed devices exceeds it."""
    if not failed:
        return False
    return total == 0 or 100.0 * failed > max_fail_percentage * total


def failure_message(failed, total):
    listed = "; ".join("%s: %s" % (entry["device"], entry["problem"]) for entry in failed)
    return "%d of %d devices failed: %s" % (len(failed), total, listed)


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


def shown_values(options, options_asked, show_secrets):
    """Values of the option list that may appear in the result.

    The whole list is no_log, so Ansible would mask every one of its values wherever it
    appears in the result, "1" included. The CLI knows which options are secret and masks
    them in optionsAsked; the values it shows there are no secrets. A value shared with a
    secret option stays hidden.
    """
    values = set(str(value) for value in options.values())
    if show_secrets:
        return values
    asked = set(options_asked)
    secret = set()
    for name, value in options.items():
        if "%s=%s" % (name, value) not in asked:
            secret.add(str(value))
    return values - secret


def bad_input_message(stderr, options_path):
    """The CLI's message, its file:line:column naming the options argument, not a temp file."""
    message = stderr.strip()
    if options_path:
        message = message.replace(options_path, "options")
    return message


ARGUMENT_SPEC = dict(
    options=dict(type="dict", no_log=True),
    options_file=dict(type="path"),
    devices=dict(type="list", elements="str"),
    devices_file=dict(type="path"),
    jobs=dict(type="int"),
    restart=dict(type="str", choices=["always", "changed", "never"], default="changed"),
    verify=dict(type="bool", default=False),
    verify_timeout=dict(type="float"),
    max_fail_percentage=dict(type="int", default=0),
    allow_unknown_options=dict(type="bool", default=False),
    show_secrets=dict(type="bool", default=False),
    cli_path=dict(type="path", default="quillstone-cli"),
)


def main():
    module = AnsibleModule(
        argument_spec=ARGUMENT_SPEC,
        mutually_exclusive=[("options", "options_file"), ("devices", "devices_file")],
        required_one_of=[("options", "options_file"), ("devices", "devices_file")],
        supports_check_mode=True,
    )
    params = module.params
    if os.sep not in params["cli_path"] and not module.get_bin_path(params["cli_path"]):
        module.fail_json(msg="%s not found on the site host's PATH: install the Quillstone package "
                         "there or set cli_path" % params["cli_path"])
    try:
        check_arguments(params)
        text = option_text(params["options"]) if params["options"] is not None else None
    except ArgumentError as error:
        module.fail_json(msg=str(error))

    temp_options = None
    if text is not None:
        # Secret values reach the CLI through a file only the site host's user can read.
        temp_options = os.path.join(module.tmpdir, OPTIONS_FILE_NAME)
        descriptor = os.open(temp_options, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(descriptor, "w") as out:
            out.write(text)
    options_path = temp_options or params["options_file"]

    def run(check):
        command = cli_command(params, options_path, check)
        rc, stdout, stderr = module.run_command(command)
        report = parse_report(stdout) if rc in (0, 1) else None
        if report is None:
            message = bad_input_message(stderr, temp_options) or stdout.strip()
            if rc == EXIT_BAD_INPUT:
                # The CLI's input messages name options, never their values: unmasked, so that
                # a value such as "1" does not blank out a line or column number. The option
                # list itself stays hidden in the invocation.
                module_args = params
                if params["options"] is not None:
                    module.no_log_values.difference_update(
                        str(value) for value in params["options"].values())
                    module_args = dict(params, options=NO_LOG_PLACEHOLDER)
                module.fail_json(msg=message, rc=rc, command=command,
                                 invocation=dict(module_args=module_args))
            module.fail_json(msg="quillstone-cli ended with %d: %s" % (rc, message), rc=rc,
                             command=command)
        if params["options"] is not None:
            module.no_log_values.difference_update(
                shown_values(params["options"], report["optionsAsked"], params["show_secrets"]))
        return command, report

    check = module.check_mode
    # Outside check mode the diff needs the values before the apply: a check first.
    planned = run(True)[1] if module._diff and not check else None
    command, report = run(check)

    failed = failed_devices(report)
    total = len(report["devices"])
    result = dict(
        changed=was_changed(report, check),
        command=command,
        cli_version=report.get("version", ""),
        devices=[device_result(entry) for entry in report["devices"]],
        failed_devices=failed,
        succeeded=report["succeeded"],
    )
    if module._diff:
        result["diff"] = device_diffs(planned or report, None if check else report)
    if too_many_failed(len(failed), total, params["max_fail_percentage"]):
        module.fail_json(msg=failure_message(failed, total), **result)
    for entry in failed:
        module.warn("%s: %s" % (entry["device"], entry["problem"]))
    module.exit_json(**result)


if __name__ == "__main__":
    main()
