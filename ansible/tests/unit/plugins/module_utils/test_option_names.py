# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)
"""The collection's copy of the option names agrees with the device link's own."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import subprocess
import unittest

from collection import plugin

option_names = plugin("plugins.module_utils.option_names")

# Set by ctest to the program that answers from devicelink/OptionNames.
PROBE = os.environ.get("QUILLSTONE_OPTION_NAMES_PROBE")
# Beyond the known names: scrambled ones, near misses of secret ones, arbitrary ones.
OTHER_NAMES = ["~OS", "~", "~wpapsk", "x~", "wpapsk", "WPAPSK ", "Key5Str", "Key1str",
               "modempassword", "PSK", "device", "Hostname"]


def probe(*arguments):
    return subprocess.check_output([PROBE] + list(arguments),
                                   universal_newlines=True).splitlines()


@unittest.skipUnless(PROBE, "QUILLSTONE_OPTION_NAMES_PROBE not set (ctest sets it)")
class AgreementTest(unittest.TestCase):
    def test_the_known_names_are_the_device_links_in_its_order(self):
        self.assertEqual(list(option_names.KNOWN_OPTION_NAMES), probe("known"))

    def test_every_name_is_secret_exactly_when_the_device_link_says_so(self):
        names = list(option_names.KNOWN_OPTION_NAMES) + OTHER_NAMES
        answers = probe("secret", *names)
        self.assertEqual(len(answers), len(names))
        for name, answer in zip(names, answers):
            self.assertEqual(option_names.is_secret_option(name), answer == "secret", name)


class HidesValueTest(unittest.TestCase):
    def test_secret_names_and_unknown_names_that_read_like_one_are_hidden(self):
        cases = [
            ("WPAPSK", True), ("Key3Str", True), ("ModemPassword", True), ("~MODEM", True),
            ("~Anything", True), ("wpapsk", True), (" WPAPSK", True), ("MyPSK", True),
            ("ApiToken", True), ("SecretThing", True),
            ("WIFI", False), ("SSID", False), ("Key1Type", False), ("ModemUserName", False),
            ("wifiip", False), ("Hostname", False),
        ]
        for name, hidden in cases:
            self.assertEqual(option_names.hides_value(name), hidden, name)


if __name__ == "__main__":
    unittest.main()
