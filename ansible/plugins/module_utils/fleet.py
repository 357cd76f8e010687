# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)

# What the collection's modules share: finding quillstone-cli, keeping secret option values out
# of Ansible's messages, the devices argument and the private files that carry it to the CLI,
# reading the CLI's report and the failure limit.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import contextlib
import copy
import json
import os
import re

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.validation import check_type_dict
from ansible.module_utils.six import integer_types, string_types

from ansible_collections.quillstone.fleet.plugins.module_utils.option_names import (
    hides_value, is_known_option_name)

SUCCEEDED = ("done", "verified", "checked")
EXIT_BAD_INPUT = 2
DEVICE_KEYS = ("device", "options")
DEVICE_COLUMN = "device"
DEPRECATED_FAIL_LIMIT = "max_fail_percentage"

# The arguments both modules take, as ARGUMENT_SPEC entries (documented in the doc fragment
# quillstone.fleet.site). Each module takes a copy: Ansible may add to an argument's rules.
_SITE_ARGUMENTS = dict(
    devices=dict(type="list", elements="raw"),
    devices_file=dict(type="path"),
    jobs=dict(type="int"),
    max_failed_devices_percentage=dict(
        type="int", default=0, aliases=[DEPRECATED_FAIL_LIMIT],
        deprecated_aliases=[dict(name=DEPRECATED_FAIL_LIMIT, version="1.0.0",
                                 collection_name="quillstone.fleet")]),
    cli_path=dict(type="path", default="quillstone-cli"),
)


def site_arguments():
    return copy.deepcopy(_SITE_ARGUMENTS)


class ArgumentError(Exception):
    pass


def reject_control_characters(text, what):
    """quillstone-cli refuses them in its files; a line break would even start a new line."""
    for index, character in enumerate(text):
        if ord(character) < 0x20 or ord(character) == 0x7F:
            raise ArgumentError("%s holds a control character (0x%02X at character %d); names "
                                "and values may hold printable characters only"
                                % (what, ord(character), index + 1))


def option_value(name, value, where):
    """The text sent for one option value; `where` names the option in messages."""
    if isinstance(value, bool):
        raise ArgumentError("%s: %s is a boolean; quote the value the device expects, e.g. \"1\""
                            % (where, name))
    if isinstance(value, integer_types + (float,)):
        value = str(value)
    if value is None:
        value = ""
    if not isinstance(value, string_types):
        raise ArgumentError("%s: the value of %s must be text or a number" % (where, name))
    reject_control_characters(value, "%s: the value of %s" % (where, name))
    return value


def check_option_name(name, where, allow_unknown):
    if not isinstance(name, string_types) or not name:
        raise ArgumentError("%s: an option name must be non-empty text" % where)
    reject_control_characters(name, "%s: the option name %r" % (where, name))
    if "=" in name:
        raise ArgumentError("%s: the option name %r holds '='" % (where, name))
    if not allow_unknown and not is_known_option_name(name):
        raise ArgumentError("%s: unknown option name %r: not an option the wireless or modem "
                            "page writes (names are case-sensitive; set allow_unknown_options "
                            "to send it as it is)" % (where, name))


# --- Secret values ----------------------------------------------------------------------------

def _scalars(value):
    if isinstance(value, dict):
        for item in value.values():
            for scalar in _scalars(item):
                yield scalar
    elif isinstance(value, (list, tuple)):
        for item in value:
            for scalar in _scalars(item):
                yield scalar
    elif value is not None and not isinstance(value, bool):
        yield str(value)


def _option_secrets(options):
    """Values of secret options in one raw option list; all of it when it is not one."""
    if isinstance(options, string_types):
        try:
            options = check_type_dict(options)
        except (TypeError, ValueError):
            return set([options]) if options else set()
    if not isinstance(options, dict):
        return set(_scalars(options))
    secrets = set()
    for name, value in options.items():
        if not isinstance(name, string_types) or hides_value(name):
            secrets.update(_scalars(value))
    return secrets


def secret_values(params):
    """The values among the raw arguments that Ansible must never show.

    Only the values of secret options (in options and in each device's options): an ordinary
    value such as WIFI's "1" stays readable in every message.
    """
    secrets = _option_secrets(params.get("options"))
    devices = params.get("devices")
    if isinstance(devices, list):
        for entry in devices:
            if isinstance(entry, dict):
                secrets |= _option_secrets(entry.get("options"))
    secrets.discard("")
    return secrets


class FleetModule(AnsibleModule):
    """AnsibleModule that knows the secret option values from the moment it reads its arguments.

    Ansible's no_log marks whole arguments; the option lists hold secret and ordinary values
    side by side. The secret ones are registered as soon as the arguments are loaded, before
    Ansible checks them, so that even a failed argument check, the invocation in the result and
    the system log entry of the call keep them hidden.
    """

    def _load_params(self):
        super(FleetModule, self)._load_params()
        self._argument_secrets = secret_values(self.params)
        self.no_log_values.update(self._argument_secrets)

    def __init__(self, *arguments, **keywords):
        super(FleetModule, self).__init__(*arguments, **keywords)
        # Asked for in clear text: from here on, once the arguments passed their checks (the
        # site host's log entry of the call keeps them hidden).
        if self.params.get("show_secrets"):
            self.no_log_values.difference_update(self._argument_secrets)


# --- quillstone-cli ---------------------------------------------------------------------------

def cli_program(module):
    """The path of quillstone-cli on the site host; fails the task when there is none."""
    wanted = module.params["cli_path"]
    hint = "(set cli_path or install the package)"
    if os.sep not in wanted:
        found = module.get_bin_path(wanted)
        if found:
            return found
        tried = "%s on PATH %s" % (wanted, os.environ.get("PATH", ""))
        module.fail_json(msg="quillstone-cli not found at %s %s" % (tried, hint))
    if not os.path.exists(wanted):
        module.fail_json(msg="quillstone-cli not found at %s %s" % (wanted, hint))
    if not os.path.isfile(wanted) or not os.access(wanted, os.X_OK):
        module.fail_json(msg="quillstone-cli at %s is not an executable file %s" % (wanted, hint))
    return wanted


@contextlib.contextmanager
def private_file(module, name, text):
    """`text` in a new file only the site host's user can read, removed when done; None for
    no text.

    In the task's temporary folder, which Ansible removes as well unless asked to keep it
    (ANSIBLE_KEEP_REMOTE_FILES): the file goes first, it may hold passphrases.
    """
    if text is None:
        yield None
        return
    path = os.path.join(module.tmpdir, name)
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    try:
        with os.fdopen(descriptor, "w") as out:
            out.write(text)
        yield path
    finally:
        try:
            os.remove(path)
        except OSError:
            pass


# --- The devices argument ---------------------------------------------------------------------

def device_rows(devices, allow_unknown):
    """The devices argument as (device, [(name, value), ...]) rows, checked.

    An entry is a device text or a dict {device: TEXT, options: {NAME: VALUE}}; the options
    override the shared option list for that device, as a site CSV's columns do. A null value
    overrides nothing; an empty text is refused, as the CSV cannot tell it from no override.
    """
    if not devices:
        raise ArgumentError("devices: the list is empty")
    rows = []
    for index, entry in enumerate(devices):
        where = "devices[%d]" % index
        options = {}
        if isinstance(entry, dict):
            extra = sorted(str(key) for key in entry if key not in DEVICE_KEYS)
            if extra:
                raise ArgumentError("%s: unexpected key %s; an entry holds device and options"
                                    % (where, ", ".join(extra)))
            text = entry.get("device")
            options = entry.get("options") or {}
            if not isinstance(options, dict):
                raise ArgumentError("%s.options: a dict of option name to value" % where)
        else:
            text = entry
        if not isinstance(text, string_types) or not text:
            raise ArgumentError("%s: a device text such as tcp:10.1.0.20, or a dict with device "
                                "and options" % where)
        reject_control_characters(text, "%s: the device" % where)
        overrides = []
        for name, value in options.items():
            check_option_name(name, where + ".options", allow_unknown)
            if name == DEVICE_COLUMN:
                raise ArgumentError("%s.options: 'device' is not an option name" % where)
            if value is None:
                continue
            value = option_value(name, value, where + ".options")
            if not value:
                raise ArgumentError("%s.options: the value of %s is empty; an empty value "
                                    "overrides nothing (leave the option out or null)"
                                    % (where, name))
            overrides.append((name, value))
        rows.append((text, overrides))
    return rows


def _csv_field(text):
    return '"%s"' % text.replace('"', '""')


def devices_csv(rows, with_options=True):
    """The rows as the site CSV quillstone-cli --devices reads, one line per entry in order."""
    columns = []
    if with_options:
        for _, overrides in rows:
            for name, _ in overrides:
                if name not in columns:
                    columns.append(name)
    lines = [",".join(_csv_field(name) for name in [DEVICE_COLUMN] + columns)]
    for text, overrides in rows:
        values = dict(overrides)
        lines.append(",".join([_csv_field(text)] +
                              [_csv_field(values.get(name, "")) for name in columns]))
    return "".join(line + "\n" for line in lines)


def _devices_place(match):
    line = int(match.group(1))
    return "devices" if line < 2 else "devices[%d]" % (line - 2)


def bad_input_message(stderr, options_path=None, devices_path=None):
    """The CLI's message about its input in the task's terms, never a temporary file's name.

    A place in the option list written from the options argument stays options:LINE:COLUMN;
    one in the CSV written from the devices argument becomes that entry, devices[INDEX] (the
    header line is the CSV's own).
    """
    message = stderr.strip()
    if options_path:
        message = message.replace(options_path, "options")
    if devices_path:
        message = re.sub(re.escape(devices_path) + r":(\d+)(?::\d+)?", _devices_place, message)
    return message


# --- The report and the failure limit ---------------------------------------------------------

def parse_report(text):
    """The CLI's JSON report, or None when `text` holds none."""
    try:
        report = json.loads(text)
    except ValueError:
        return None
    if not isinstance(report, dict) or not isinstance(report.get("devices"), list):
        return None
    return report


def failed_devices(report):
    return [dict(device=entry["device"], problem=entry["problem"])
            for entry in report["devices"] if entry["result"] not in SUCCEEDED]


def too_many_failed(failed, total, limit):
    """Fails when the share of failed devices exceeds `limit` percent."""
    if not failed:
        return False
    return total == 0 or 100.0 * failed > limit * total


def failure_message(failed, total):
    listed = "; ".join("%s: %s" % (entry["device"], entry["problem"]) for entry in failed)
    return "%d of %d devices failed: %s" % (len(failed), total, listed)


def fail_without_report(module, rc, stdout, stderr, options_path=None, devices_path=None,
                        **extra):
    """The CLI gave no report: bad input (its message, in the task's terms) or a fault."""
    message = bad_input_message(stderr, options_path, devices_path) or stdout.strip()
    if rc != EXIT_BAD_INPUT:
        message = "quillstone-cli ended with %d: %s" % (rc, message)
    module.fail_json(msg=message, rc=rc, **extra)


def finish(module, result, total):
    """Fails the task when too many of its `total` devices failed, else warns of each."""
    failed = result["failed_devices"]
    if too_many_failed(len(failed), total, module.params["max_failed_devices_percentage"]):
        module.fail_json(msg=failure_message(failed, total), **result)
    for entry in failed:
        module.warn("%s: %s" % (entry["device"], entry["problem"]))
    module.exit_json(**result)


def check_site_arguments(params):
    if params["jobs"] is not None and params["jobs"] < 1:
        raise ArgumentError("jobs: at least 1")
    if not 0 <= params["max_failed_devices_percentage"] <= 100:
        raise ArgumentError("max_failed_devices_percentage: 0 to 100")


def site_command_tail(params, devices_path):
    """The arguments both CLI commands take, after the command's own."""
    command = []
    if params.get("jobs") is not None:
        command += ["--jobs", str(params["jobs"])]
    command += ["--devices", devices_path or params["devices_file"]]
    return command
