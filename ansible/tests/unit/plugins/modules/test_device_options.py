# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)
"""The module's own rules: its arguments, the option file it writes, how it reads the report."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import importlib.util
import os
import re
import unittest

import yaml

# Loaded from its file, so that the tests run with plain unittest as well as under ansible-test.
_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "..",
                     "plugins", "modules", "device_options.py")
_SPEC = importlib.util.spec_from_file_location("device_options", _PATH)
device_options = importlib.util.module_from_spec(_SPEC)
_SPEC.loader.exec_module(device_options)


def params(**changes):
    base = dict(cli_path="quillstone-cli", restart="changed", verify=False, verify_timeout=None,
                jobs=None, show_secrets=False, allow_unknown_options=False, devices=["tcp:10.0.0.1"], devices_file=None,
                options={"SSID": "x"}, options_file=None, max_fail_percentage=0)
    base.update(changes)
    return base


def device(name, result="done", written=0, changes=None, option_results=()):
    entry = dict(device=name, result=result, written=written, unchanged=0, failed=0,
                 restarted=False, verify="not asked", problem="" if result == "done" else "why",
                 mismatches=[], optionResults=list(option_results), changeValues=changes or [])
    return entry


class OptionTextTest(unittest.TestCase):
    def test_values_become_name_value_lines_in_the_order_given(self):
        cases = [
            ({"SSID": "Office", "WIFI": "1"}, "SSID=Office\nWIFI=1\n"),
            ({"WIFI": 1, "wifimask": 2.5}, "WIFI=1\nwifimask=2.5\n"),
            ({"wifiip": None}, "wifiip=\n"),
            ({"SSID": "a=b c"}, "SSID=a=b c\n"),
        ]
        for options, text in cases:
            self.assertEqual(device_options.option_text(options), text)

    def test_lists_that_would_not_be_read_back_as_given_are_refused(self):
        cases = [
            ({"wifidhcp": False}, "wifidhcp is a boolean"),
            ({"WI=FI": "1"}, "holds '='"),
            ({"SSID\n": "1"}, "line break"),
            ({"": "1"}, "non-empty text"),
            ({"SSID": "a\r\nWIFI=0"}, "the value of SSID holds a line break"),
            ({"SSID": ["a"]}, "must be text or a number"),
        ]
        for options, message in cases:
            with self.assertRaises(device_options.ArgumentError) as raised:
                device_options.option_text(options)
            self.assertIn(message, str(raised.exception))


class CommandTest(unittest.TestCase):
    def test_check_mode_asks_for_the_check_and_neither_restart_nor_verify(self):
        command = device_options.cli_command(params(verify=True, restart="always"), "/t/o", True)
        self.assertEqual(command, ["quillstone-cli", "apply", "--json", "--options", "/t/o",
                                   "--check", "--", "tcp:10.0.0.1"])

    def test_apply_passes_every_argument_on(self):
        command = device_options.cli_command(
            params(verify=True, verify_timeout=5.0, jobs=4, show_secrets=True, restart="never",
                   allow_unknown_options=True, devices=["-x", "tcp:10.0.0.2"]), "/t/o", False)
        self.assertEqual(command, ["quillstone-cli", "apply", "--json", "--options", "/t/o",
                                   "--restart", "never", "--verify", "--verify-timeout", "5.0",
                                   "--jobs", "4", "--show-secrets", "--allow-unknown-options",
                                   "--", "-x", "tcp:10.0.0.2"])

    def test_a_site_file_replaces_the_device_list(self):
        command = device_options.cli_command(params(devices=None, devices_file="/s.csv"), "o",
                                             False)
        self.assertEqual(command[-2:], ["--devices", "/s.csv"])
        self.assertNotIn("--", command)


class ArgumentTest(unittest.TestCase):
    def test_out_of_range_arguments_are_refused(self):
        cases = [
            (dict(jobs=0), "jobs"),
            (dict(max_fail_percentage=101), "max_fail_percentage"),
            (dict(max_fail_percentage=-1), "max_fail_percentage"),
            (dict(devices=[]), "devices"),
            (dict(options={}), "options"),
        ]
        for changes, name in cases:
            with self.assertRaises(device_options.ArgumentError) as raised:
                device_options.check_arguments(params(**changes))
            self.assertTrue(str(raised.exception).startswith(name + ":"))

    def test_arguments_in_range_pass(self):
        device_options.check_arguments(params(jobs=1, max_fail_percentage=100))
        device_options.check_arguments(params(devices=None, devices_file="s.csv"))


class FailureLimitTest(unittest.TestCase):
    def test_the_task_fails_when_the_failed_share_exceeds_the_limit(self):
        cases = [
            (0, 10, 0, False),
            (1, 10, 0, True),
            (1, 10, 10, False),
            (2, 10, 10, True),
            (1, 3, 33, True),
            (1, 3, 34, False),
            (3, 3, 100, False),
        ]
        for failed, total, limit, fails in cases:
            self.assertEqual(device_options.too_many_failed(failed, total, limit), fails,
                             (failed, total, limit))

    def test_the_message_names_each_failed_device_and_why(self):
        report = dict(devices=[device("tcp:a:1"), device("tcp:b:2", "failed")])
        report["devices"][1]["problem"] = "SSID: refused by the device (twice)"
        failed = device_options.failed_devices(report)
        self.assertEqual(device_options.failure_message(failed, 2),
                         "1 of 2 devices failed: tcp:b:2: SSID: refused by the device (twice)")

    def test_only_done_verified_and_checked_devices_succeeded(self):
        report = dict(devices=[device("a", result) for result in
                               ("done", "verified", "checked", "failed", "interrupted",
                                "not started")])
        self.assertEqual([entry["device"] for entry in device_options.failed_devices(report)],
                         ["a", "a", "a"])


class ReportTest(unittest.TestCase):
    def test_changed_means_written_or_in_check_mode_would_change(self):
        quiet = dict(devices=[device("a"), device("b")])
        written = dict(devices=[device("a"), device("b", written=1)])
        planned = dict(devices=[device("a", "checked", changes=[dict(name="SSID", after="x")])])
        self.assertFalse(device_options.was_changed(quiet, False))
        self.assertTrue(device_options.was_changed(written, False))
        self.assertFalse(device_options.was_changed(quiet, True))
        self.assertTrue(device_options.was_changed(planned, True))

    def test_anything_but_a_report_on_stdout_reads_as_none(self):
        for stdout in ("", "not json", "[]", '{"devices": 1}'):
            self.assertIsNone(device_options.parse_report(stdout), stdout)
        self.assertEqual(device_options.parse_report('{"devices": []}'), dict(devices=[]))

    def test_a_bad_input_message_names_the_options_argument_not_the_temporary_file(self):
        message = device_options.bad_input_message(
            "quillstone-cli: /tmp/x/options.ini:2:1: an unknown option name\n", "/tmp/x/options.ini")
        self.assertEqual(message, "quillstone-cli: options:2:1: an unknown option name")
        self.assertEqual(device_options.bad_input_message(" site.csv:3:7: bad \n", None),
                         "site.csv:3:7: bad")


class DiffTest(unittest.TestCase):
    CHECK = dict(devices=[
        device("tcp:a:1", "checked", changes=[dict(name="SSID", before="Lab", after="Office"),
                                              dict(name="wifiip", after="10.0.0.9"),
                                              dict(name="WPAPSK", before="********",
                                                   after="********")]),
        device("tcp:b:2", "checked"),
    ])

    def test_each_device_with_changes_gets_before_and_after_lines(self):
        self.assertEqual(device_options.device_diffs(self.CHECK), [dict(
            before_header="tcp:a:1", after_header="tcp:a:1",
            before="SSID=Lab\nWPAPSK=********\n",
            after="SSID=Office\nwifiip=10.0.0.9\nWPAPSK=********\n")])

    def test_after_an_apply_only_what_it_wrote(self):
        applied = dict(devices=[device("tcp:a:1", written=1, option_results=[
            dict(name="SSID", result="failed"), dict(name="wifiip", result="written"),
            dict(name="WPAPSK", result="not tried")])])
        self.assertEqual(device_options.device_diffs(self.CHECK, applied), [dict(
            before_header="tcp:a:1", after_header="tcp:a:1", before="",
            after="wifiip=10.0.0.9\n")])


class ShownValuesTest(unittest.TestCase):
    def test_values_the_cli_masks_stay_hidden_even_when_another_option_shares_them(self):
        options = {"SSID": "Office", "WIFI": "1", "WPAPSK": "Secret1", "Key1Str": "1"}
        asked = ["SSID=Office", "WIFI=1", "WPAPSK=********", "Key1Str=********"]
        self.assertEqual(device_options.shown_values(options, asked, False), {"Office"})

    def test_numbers_compare_as_their_text(self):
        self.assertEqual(device_options.shown_values({"WIFI": 1}, ["WIFI=1"], False), {"1"})

    def test_show_secrets_shows_every_value(self):
        options = {"WPAPSK": "Secret1", "SSID": "Office"}
        self.assertEqual(device_options.shown_values(options, ["WPAPSK=********"], True),
                         {"Secret1", "Office"})


class DocumentationTest(unittest.TestCase):
    """What ansible-doc shows matches what the module takes."""

    def test_every_argument_is_documented_with_its_type_default_and_choices(self):
        documented = yaml.safe_load(device_options.DOCUMENTATION)["options"]
        self.assertEqual(sorted(documented), sorted(device_options.ARGUMENT_SPEC))
        for name, rules in device_options.ARGUMENT_SPEC.items():
            doc = documented[name]
            for key in ("type", "default", "choices", "elements"):
                self.assertEqual(doc.get(key), rules.get(key), "%s: %s" % (name, key))

    def test_the_readmes_playbooks_use_only_arguments_the_module_takes(self):
        readme = os.path.join(os.path.dirname(_PATH), "..", "..", "README.md")
        with open(readme) as text:
            blocks = re.findall(r"```yaml\n(.*?)```", text.read(), re.DOTALL)
        tasks = [task for block in blocks for play in (yaml.safe_load(block) or [])
                 if isinstance(play, dict) for task in play.get("tasks", [])]
        tasks += yaml.safe_load(device_options.EXAMPLES)
        used = [task["quillstone.fleet.device_options"] for task in tasks]
        self.assertGreaterEqual(len(used), 6)
        for arguments in used:
            self.assertLessEqual(set(arguments), set(device_options.ARGUMENT_SPEC), arguments)

    def test_examples_and_return_are_yaml(self):
        examples = yaml.safe_load(device_options.EXAMPLES)
        self.assertTrue(all("quillstone.fleet.device_options" in task for task in examples))
        self.assertIn("devices", yaml.safe_load(device_options.RETURN))


if __name__ == "__main__":
    unittest.main()
