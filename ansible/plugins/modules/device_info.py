#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)

# Reading as data: quillstone-cli read over a site's devices, its CSV turned into values per
# device for playbooks to assert and report on. It never writes to a device.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: device_info
short_description: Read named options from every device of a site with quillstone-cli
version_added: "0.2.0"
description:
  - Runs C(quillstone-cli read) on the site host and returns, per device, the value of each
    option named in I(names), so that a playbook can assert on a site or report on it.
  - Only reads; it never writes to a device, never restarts one and never reports a change.
    It runs the same in check mode.
  - Values of secret options (C(WPAPSK), C(Key1Str) to C(Key4Str), C(ModemPassword), every
    name beginning with C(~)) are returned as C(********) when set, and as an empty text when
    not, unless I(show_secrets=true).
  - A device that cannot be read fails the task, naming the device and the reason, unless the
    share of such devices stays within I(max_failed_devices_percentage). A device answers the
    read of an option it does not hold as a failure, so name only options the devices hold.
extends_documentation_fragment:
  - quillstone.fleet.site
options:
  names:
    description:
      - The options to read, in this order, e.g. C([WIFI, SSID, wifiip]).
      - Each one the wireless or modem page writes (case-sensitive), unless
        I(allow_unknown_options=true); each at most once.
    type: list
    elements: str
    required: true
  allow_unknown_options:
    description:
      - Read option names the tool's wireless and modem pages do not write. Their values are
        hidden like secret ones when the name reads like a secret (C(key), C(pass), C(psk)).
    type: bool
    default: false
  show_secrets:
    description:
      - Return the values of secret options in clear text.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
    details: The module only reads.
  diff_mode:
    support: none
notes:
  - The options of an entry of I(devices) are not read; only its device is. So the list built
    for M(quillstone.fleet.device_options) serves here too.
seealso:
  - module: quillstone.fleet.device_options
author:
  - Quillstone developers
"""

EXAMPLES = r"""
- name: Read the wireless options of every device of the site
  quillstone.fleet.device_info:
    names: [WIFI, SSID, AuthMode, WPAPSK, wifiip]
    devices_file: /etc/quillstone/site.csv
  register: site

- name: Every device is on the office network, with a passphrase set
  ansible.builtin.assert:
    that:
      - item.value.SSID == "Office"
      - item.value.WPAPSK == "********"
    fail_msg: "{{ item.key }} is on {{ item.value.SSID }}"
  loop: "{{ site.by_device | dict2items }}"
  loop_control:
    label: "{{ item.key }}"

- name: A report of a large site, whatever devices are switched off
  quillstone.fleet.device_info:
    names: [SSID, wifiip]
    devices:
      - tcp:10.1.0.20
      - tcp:10.1.0.21
    max_failed_devices_percentage: 100
  register: survey
"""

RETURN = r"""
changed:
  description: Always false; the module only reads.
  returned: always
  type: bool
devices:
  description: One entry per device, in the order given.
  returned: when quillstone-cli ran
  type: list
  elements: dict
  contains:
    device:
      description: The device, C(tcp:HOST:PORT) or C(serial:PORT,device=N,baud=B).
      type: str
      sample: tcp:10.1.0.20:4370
    result:
      description: C(done) when every option was read, otherwise C(failed).
      type: str
      sample: done
    problem:
      description: Empty when read; otherwise why not, e.g. the first option not answered.
      type: str
      sample: "can not connect with device"
    options:
      description: Option name to value, every name of I(names); empty for a failed device.
      type: dict
      sample: {"SSID": "Office", "WPAPSK": "********", "wifiip": "10.1.1.20"}
by_device:
  description: The devices that were read, device to its options, for lookups in a playbook.
  returned: when quillstone-cli ran
  type: dict
  sample: {"tcp:10.1.0.20:4370": {"SSID": "Office", "WPAPSK": "********"}}
failed_devices:
  description: The devices that could not be read, each with the reason.
  returned: when quillstone-cli ran
  type: list
  elements: dict
  sample: [{"device": "tcp:10.1.0.21:4370", "problem": "can not connect with device"}]
succeeded:
  description: How many devices were read.
  returned: when quillstone-cli ran
  type: int
cli_version:
  description: The version of quillstone-cli on the site host.
  returned: when quillstone-cli ran
  type: str
"""

import csv
import io
import os

from ansible_collections.quillstone.fleet.plugins.module_utils.fleet import (
    ArgumentError, FleetModule, check_option_name, check_site_arguments, cli_program,
    device_rows, devices_csv, fail_without_report, failed_devices, finish, parse_report,
    private_file, site_arguments, site_command_tail)
from ansible_collections.quillstone.fleet.plugins.module_utils.option_names import (
    MASK, hides_value)

DEVICES_FILE_NAME = "devices.csv"
REPORT_FILE_NAME = "read-report.json"


def check_names(names, allow_unknown):
    if not names:
        raise ArgumentError("names: the list is empty")
    seen = set()
    for index, name in enumerate(names):
        check_option_name(name, "names[%d]" % index, allow_unknown)
        if name in seen:
            raise ArgumentError("names[%d]: %s is listed twice" % (index, name))
        seen.add(name)


def cli_command(cli, params, devices_path, report_path):
    """quillstone-cli read for the arguments.

    Secret values are asked for in clear text and masked here: the CLI leaves them out of its
    CSV, which tells a set passphrase from none no more than an empty cell does.
    """
    return ([cli, "read", "--show-secrets", "--report", report_path] +
            site_command_tail(params, devices_path) + ["--"] + list(params["names"]))


def read_values(stdout, names):
    """The CLI's CSV, one row per device: device -> {name: value}."""
    rows = list(csv.reader(io.StringIO(stdout)))
    if not rows or rows[0] != ["device"] + list(names):
        raise ValueError("not the CSV of the names asked")
    values = {}
    for row in rows[1:]:
        if len(row) != len(names) + 1:
            raise ValueError("a row with %d fields" % len(row))
        values[row[0]] = dict(zip(names, row[1:]))
    return values


def shown(values, show_secrets):
    """The values as the task may return them: secret ones masked when set."""
    return dict((name, MASK if value and not show_secrets and hides_value(name) else value)
                for name, value in values.items())


def device_entries(report, values, show_secrets):
    entries = []
    for entry in report["devices"]:
        read = entry["result"] == "done"
        entries.append(dict(device=entry["device"], result=entry["result"],
                            problem=entry["problem"],
                            options=shown(values.get(entry["device"], {}), show_secrets)
                            if read else {}))
    return entries


ARGUMENT_SPEC = dict(
    names=dict(type="list", elements="str", required=True),
    allow_unknown_options=dict(type="bool", default=False),
    show_secrets=dict(type="bool", default=False),
    **site_arguments()
)


def main():
    module = FleetModule(
        argument_spec=ARGUMENT_SPEC,
        mutually_exclusive=[("devices", "devices_file")],
        required_one_of=[("devices", "devices_file")],
        supports_check_mode=True,
    )
    params = module.params
    cli = cli_program(module)
    csv_text = None
    try:
        check_site_arguments(params)
        check_names(params["names"], params["allow_unknown_options"])
        if params["devices"] is not None:
            rows = device_rows(params["devices"], params["allow_unknown_options"])
            csv_text = devices_csv(rows, with_options=False)
            # The entries' own options are not read here: the invocation shows the devices only.
            params["devices"] = [text for text, _ in rows]
    except ArgumentError as error:
        module.fail_json(msg=str(error))

    with private_file(module, DEVICES_FILE_NAME, csv_text) as temp_devices:
        with private_file(module, REPORT_FILE_NAME, "") as report_path:
            command = cli_command(cli, params, temp_devices, report_path)
            rc, stdout, stderr = module.run_command(command)
            report = None
            if rc in (0, 1) and os.path.isfile(report_path):
                with open(report_path) as report_file:
                    report = parse_report(report_file.read())
    if report is None:
        fail_without_report(module, rc, stdout, stderr, devices_path=temp_devices)
    try:
        values = read_values(stdout, params["names"])
    except ValueError as error:
        module.fail_json(msg="quillstone-cli read: unexpected output (%s)" % error, rc=rc)

    devices = device_entries(report, values, params["show_secrets"])
    result = dict(
        changed=False,
        devices=devices,
        by_device=dict((entry["device"], entry["options"]) for entry in devices
                       if entry["result"] == "done"),
        failed_devices=failed_devices(report),
        succeeded=report["succeeded"],
        cli_version=report.get("version", ""),
    )
    finish(module, result, len(devices))


if __name__ == "__main__":
    main()
