# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)
"""device_info: the names it reads, how it turns the CLI's CSV into values, masking, and runs
of main() against a stand-in for quillstone-cli."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import unittest

from collection import ModuleTestCase, device, plugin, report

device_info = plugin("plugins.modules.device_info")

SECRET = "Tr0ub4dor-Secret"
NAMES = ["SSID", "WPAPSK", "Key2Str", "~AuthServer", "wifiip"]
CSV = ('device,SSID,WPAPSK,Key2Str,~AuthServer,wifiip\n'
       'tcp:10.0.0.1:4370,"Off,ice",%s,,x,10.1.0.1\n'
       'tcp:10.0.0.2:4370,,,,,\n' % SECRET)


class NamesTest(unittest.TestCase):
    def test_names_must_be_known_once_each(self):
        cases = [
            ([], "names: the list is empty"),
            (["SSID", "SSID"], "names[1]: SSID is listed twice"),
            (["SSID", "ssid"], "names[1]: unknown option name 'ssid'"),
            (["SSID", "a\tb"], "names[1]: the option name 'a\\tb' holds a control character"),
        ]
        for names, message in cases:
            with self.assertRaises(device_info.ArgumentError) as raised:
                device_info.check_names(names, False)
            self.assertIn(message, str(raised.exception))
        device_info.check_names(["SSID", "Custom"], True)


class ValuesTest(unittest.TestCase):
    def test_each_row_gives_its_devices_values_by_name(self):
        values = device_info.read_values(CSV, NAMES)
        self.assertEqual(values["tcp:10.0.0.1:4370"], {
            "SSID": "Off,ice", "WPAPSK": SECRET, "Key2Str": "", "~AuthServer": "x",
            "wifiip": "10.1.0.1"})
        self.assertEqual(sorted(values), ["tcp:10.0.0.1:4370", "tcp:10.0.0.2:4370"])

    def test_output_that_is_not_the_csv_asked_for_is_refused(self):
        for stdout in ("", "device,SSID\ntcp:a,1\n", CSV.replace(",10.1.0.1", "")):
            with self.assertRaises(ValueError):
                device_info.read_values(stdout, NAMES)

    def test_secret_values_are_masked_when_set_unless_asked(self):
        values = device_info.read_values(CSV, NAMES)["tcp:10.0.0.1:4370"]
        self.assertEqual(device_info.shown(values, False), {
            "SSID": "Off,ice", "WPAPSK": "********", "Key2Str": "", "~AuthServer": "********",
            "wifiip": "10.1.0.1"})
        self.assertEqual(device_info.shown(values, True), values)

    def test_a_device_that_failed_returns_no_values(self):
        entries = device_info.device_entries(
            dict(devices=[device("tcp:10.0.0.1:4370"),
                          device("tcp:10.0.0.2:4370", "failed", problem="cannot connect")]),
            device_info.read_values(CSV, NAMES), False)
        self.assertEqual(entries[0]["options"]["WPAPSK"], "********")
        self.assertEqual(entries[1], dict(device="tcp:10.0.0.2:4370", result="failed",
                                          problem="cannot connect", options={}))


class ModuleRunTest(ModuleTestCase):
    MODULE = device_info
    DEFAULTS = dict(names=NAMES)

    def answer(self, *devices):
        rc = 0 if all(entry["result"] == "done" for entry in devices) else 1
        self.cli.answer(stdout=CSV, rc=rc, report_file=report(list(devices), command="read"))

    def test_the_values_per_device_secrets_masked_never_changed(self):
        self.answer(device("tcp:10.0.0.1:4370"), device("tcp:10.0.0.2:4370"))
        for check_mode in (False, True):
            run = self.run_module(check_mode=check_mode,
                                  devices=["tcp:10.0.0.1", {"device": "tcp:10.0.0.2",
                                                            "options": {"wifiip": "10.1.0.2"}}])
            self.assertFalse(run.result["changed"])
            self.assertFalse(run.result.get("failed"), run.result)
            self.assertNotIn(SECRET, run.output)
            self.assertEqual(run.result["by_device"]["tcp:10.0.0.1:4370"]["SSID"], "Off,ice")
            self.assertEqual(run.result["by_device"]["tcp:10.0.0.1:4370"]["WPAPSK"], "********")
            self.assertEqual(run.result["cli_version"], "9.9")
        record = self.cli.record()
        self.assertEqual(record["arguments"][:2], ["read", "--show-secrets"])
        self.assertEqual(record["arguments"][-len(NAMES) - 1:], ["--"] + NAMES)
        self.assertEqual(record["files"]["--devices"]["text"], '"device"\n"tcp:10.0.0.1"\n'
                                                               '"tcp:10.0.0.2"\n')
        self.assertEqual(record["files"]["--devices"]["mode"], 0o600)
        for given in record["files"].values():
            self.assertFalse(os.path.exists(given["path"]))

    def test_show_secrets_returns_them(self):
        self.answer(device("tcp:10.0.0.1:4370"), device("tcp:10.0.0.2:4370"))
        run = self.run_module(devices_file="/etc/site.csv", show_secrets=True)
        self.assertEqual(run.result["by_device"]["tcp:10.0.0.1:4370"]["WPAPSK"], SECRET)
        self.assertIn("/etc/site.csv", self.cli.record()["arguments"])

    def test_a_device_that_cannot_be_read_fails_the_task_unless_within_the_limit(self):
        self.answer(device("tcp:10.0.0.1:4370"),
                    device("tcp:10.0.0.2:4370", "failed", problem="can not connect with device"))
        run = self.run_module(devices=["tcp:10.0.0.1", "tcp:10.0.0.2"])
        self.assertTrue(run.result["failed"])
        self.assertEqual(run.result["msg"], "1 of 2 devices failed: tcp:10.0.0.2:4370: can not "
                                            "connect with device")
        self.assertEqual(list(run.result["by_device"]), ["tcp:10.0.0.1:4370"])
        run = self.run_module(devices=["tcp:10.0.0.1", "tcp:10.0.0.2"],
                              max_failed_devices_percentage=50)
        self.assertFalse(run.result.get("failed"))
        self.assertEqual(run.result["warnings"],
                         ["tcp:10.0.0.2:4370: can not connect with device"])

    def test_bad_input_fails_with_the_clis_message(self):
        self.cli.answer(rc=2, stderr="quillstone-cli: %s:2:1: not a device address\n"
                                     % os.path.join(self.folder, "devices.csv"))
        run = self.run_module(devices=["tcp:"])
        self.assertEqual(run.result["msg"], "quillstone-cli: devices[0]: not a device address")


if __name__ == "__main__":
    unittest.main()
