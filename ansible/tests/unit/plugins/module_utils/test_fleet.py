# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)
"""The modules' shared rules: secret values, the devices argument, the CLI's messages and
report, the failure limit."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import csv
import io
import unittest

from collection import device, plugin

fleet = plugin("plugins.module_utils.fleet")


class SecretValuesTest(unittest.TestCase):
    def test_only_values_of_secret_options_are_secret(self):
        cases = [
            (dict(options={"WIFI": "1", "SSID": "Office", "WPAPSK": "pass phrase"}),
             {"pass phrase"}),
            (dict(options={"Key1Str": "k1", "Key4Str": 12345, "ModemPassword": "m",
                           "~MODEM": "1", "wifiip": "10.0.0.1"}), {"k1", "12345", "m", "1"}),
            (dict(options={"WPAPSK": "", "SSID": None}), set()),
            (dict(options="WIFI=1 WPAPSK=phrase"), {"phrase"}),
            (dict(options="{not a dict"), {"{not a dict"}),
            (dict(options=["WPAPSK", "x"]), {"WPAPSK", "x"}),
            (dict(options=None, devices=["tcp:a", {"device": "tcp:b", "options": {
                "wifiip": "10.0.0.2", "WPAPSK": "per device"}}]), {"per device"}),
            (dict(devices=[{"device": "tcp:b", "options": "WPAPSK=p"}]), {"p"}),
            (dict(devices="tcp:a,tcp:b"), set()),
        ]
        for arguments, secrets in cases:
            self.assertEqual(fleet.secret_values(arguments), secrets, arguments)


class DeviceRowsTest(unittest.TestCase):
    def test_texts_and_dicts_become_rows_in_order(self):
        rows = fleet.device_rows([
            "tcp:10.0.0.1",
            {"device": "tcp:10.0.0.2", "options": {"wifiip": "10.1.0.2", "WIFI": 1}},
            {"device": "serial:COM1,device=2", "options": {"wifiip": None}},
            {"device": "tcp:10.0.0.3"},
            {"device": "tcp:10.0.0.4", "options": None},
        ], allow_unknown=False)
        self.assertEqual(rows, [
            ("tcp:10.0.0.1", []),
            ("tcp:10.0.0.2", [("wifiip", "10.1.0.2"), ("WIFI", "1")]),
            ("serial:COM1,device=2", []),
            ("tcp:10.0.0.3", []),
            ("tcp:10.0.0.4", []),
        ])

    def test_entries_the_csv_could_not_carry_as_meant_are_refused(self):
        cases = [
            ([], "devices: the list is empty"),
            ([{"device": "tcp:a", "option": {}}], "devices[0]: unexpected key option"),
            ([{"options": {}}], "devices[0]: a device text"),
            (["tcp:a", ""], "devices[1]: a device text"),
            (["tcp:a", 7], "devices[1]: a device text"),
            (["tcp:a\ntcp:b"], "devices[0]: the device holds a control character (0x0A"),
            ([{"device": "tcp:a", "options": ["wifiip"]}], "devices[0].options: a dict"),
            ([{"device": "tcp:a", "options": {"wifiipp": "1"}}],
             "devices[0].options: unknown option name 'wifiipp'"),
            ([{"device": "tcp:a", "options": {"WIFI": True}}], "WIFI is a boolean"),
            ([{"device": "tcp:a", "options": {"SSID": "a\nb"}}],
             "devices[0].options: the value of SSID holds a control character (0x0A"),
            ([{"device": "tcp:a", "options": {"SSID": "a\x7f"}}], "control character (0x7F"),
            ([{"device": "tcp:a", "options": {"SSID": ""}}], "the value of SSID is empty"),
            ([{"device": "tcp:a", "options": {"WI=FI": "1"}}], "holds '='"),
        ]
        for devices, message in cases:
            with self.assertRaises(fleet.ArgumentError) as raised:
                fleet.device_rows(devices, allow_unknown=False)
            self.assertIn(message, str(raised.exception), devices)

    def test_unknown_names_pass_when_allowed_but_never_the_device_column(self):
        rows = fleet.device_rows([{"device": "tcp:a", "options": {"Custom": "1"}}], True)
        self.assertEqual(rows, [("tcp:a", [("Custom", "1")])])
        with self.assertRaises(fleet.ArgumentError):
            fleet.device_rows([{"device": "tcp:a", "options": {"device": "x"}}], True)


class DevicesCsvTest(unittest.TestCase):
    ROWS = [("tcp:a", [("wifiip", "10.0.0.1")]),
            ('serial:COM1,device=2', [("SSID", 'say "hi", all'), ("wifiip", "10.0.0.2")]),
            ("tcp:c", [])]

    def test_every_entry_is_one_row_its_options_in_their_columns(self):
        rows = list(csv.reader(io.StringIO(fleet.devices_csv(self.ROWS))))
        self.assertEqual(rows, [["device", "wifiip", "SSID"],
                                ["tcp:a", "10.0.0.1", ""],
                                ["serial:COM1,device=2", "10.0.0.2", 'say "hi", all'],
                                ["tcp:c", "", ""]])

    def test_without_options_only_the_device_column(self):
        self.assertEqual(fleet.devices_csv(self.ROWS, with_options=False),
                         '"device"\n"tcp:a"\n"serial:COM1,device=2"\n"tcp:c"\n')


class BadInputMessageTest(unittest.TestCase):
    def test_places_in_temporary_files_are_named_after_the_arguments(self):
        cases = [
            ("quillstone-cli: /tmp/x/options.ini:2:1: an unknown option name\n",
             "quillstone-cli: options:2:1: an unknown option name"),
            ("quillstone-cli: /tmp/x/devices.csv:2:1: not a device address\n",
             "quillstone-cli: devices[0]: not a device address"),
            ("/tmp/x/devices.csv:12:5: device tcp:a:1 is listed already at /tmp/x/devices.csv:4",
             "devices[10]: device tcp:a:1 is listed already at devices[2]"),
            ("/tmp/x/devices.csv:1:9: unknown column name 'x'", "devices: unknown column name 'x'"),
            (" site.csv:3:7: bad \n", "site.csv:3:7: bad"),
        ]
        for stderr, message in cases:
            self.assertEqual(fleet.bad_input_message(stderr, "/tmp/x/options.ini",
                                                     "/tmp/x/devices.csv"), message)


class ReportTest(unittest.TestCase):
    def test_anything_but_a_report_reads_as_none(self):
        for text in ("", "not json", "[]", '{"devices": 1}'):
            self.assertIsNone(fleet.parse_report(text), text)
        self.assertEqual(fleet.parse_report('{"devices": []}'), dict(devices=[]))

    def test_only_done_verified_and_checked_devices_succeeded(self):
        report = dict(devices=[device(str(index), result) for index, result in enumerate(
            ("done", "verified", "checked", "failed", "interrupted", "not started"))])
        self.assertEqual([entry["device"] for entry in fleet.failed_devices(report)],
                         ["3", "4", "5"])

    def test_the_message_names_each_failed_device_and_why(self):
        report = dict(devices=[device("tcp:a:1"), device(
            "tcp:b:2", "failed", problem="SSID: refused by the device (twice)")])
        failed = fleet.failed_devices(report)
        self.assertEqual(fleet.failure_message(failed, 2),
                         "1 of 2 devices failed: tcp:b:2: SSID: refused by the device (twice)")


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
            self.assertEqual(fleet.too_many_failed(failed, total, limit), fails,
                             (failed, total, limit))


if __name__ == "__main__":
    unittest.main()
