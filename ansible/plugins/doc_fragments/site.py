# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)

# The arguments every module of the collection takes to name a site's devices and run
# quillstone-cli on them (SITE_ARGUMENTS in module_utils/fleet.py).

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
options:
  devices:
    description:
      - >-
        The site's devices, each a device text, C(tcp:HOST[:PORT]) or
        C(serial:PORT[,device=N][,baud=B]), or a dict with the device text as C(device) and
        the options for that device alone as C(options), e.g. built from inventory variables
        C({device: "tcp:10.1.2.3", options: {wifiip: "10.1.3.3"}}).
      - Checked as quillstone-cli checks a site CSV (a device listed twice, an unknown option
        name, a control character) before any device is contacted; a fault names the entry as
        C(devices[INDEX]), counted from 0.
      - A device's options override the shared option list for that device, as the columns of
        a site CSV do. A null value overrides nothing; an empty text is refused.
      - The list reaches quillstone-cli in a CSV file only the site host's user can read,
        removed when the task ends, never on its command line.
      - Exactly one of I(devices) and I(devices_file) is required.
    type: list
    elements: raw
  devices_file:
    description:
      - A site CSV on the site host, a C(device) column and optional columns named after
        options that override them for the row's device.
    type: path
  jobs:
    description:
      - Devices at once over TCP. The CLI's default (16) when not given.
    type: int
  max_failed_devices_percentage:
    description:
      - The task fails when more than this percentage of the task's devices failed (devices,
        not hosts, unlike the play keyword C(max_fail_percentage)). C(0) fails it on the first
        failed device; the failed devices are listed as warnings when they stay within the
        limit.
      - The old name C(max_fail_percentage) still works and warns; it goes in version 1.0.0.
    type: int
    default: 0
    aliases: [max_fail_percentage]
    version_added: "0.2.0"
  cli_path:
    description:
      - The quillstone-cli program on the site host, a path or a name looked up on C(PATH).
    type: path
    default: quillstone-cli
"""
