# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)
"""The module's own rules: its arguments, the files it writes, how it reads the report, and
whole runs of main() against a stand-in for quillstone-cli."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import re
import unittest
from unittest import mock

import yaml

from collection import ModuleTestCase, ROOT, device, plugin, report

device_options = plugin("plugins.modules.device_options")
site_fragment = plugin("plugins.doc_fragments.site")

SECRET = "Tr0ub4dor-Secret"
OTHER_SECRET = "Corr3ct-Horse"


def params(**changes):
    base = dict(cli_path="quillstone-cli", restart="changed", verify=False, verify_timeout=None,
                jobs=None, show_secrets=False, allow_unknown_options=False,
                devices=["tcp:10.0.0.1"], devices_file=None, options={"SSID": "x"},
                options_file=None, max_failed_devices_percentage=0)
    base.update(changes)
    return base


class OptionTextTest(unittest.TestCase):
    def test_values_become_name_value_lines_in_the_order_given(self):
        cases = [
            ({"SSID": "Office", "WIFI": "1"}, "SSID=Office\nWIFI=1\n"),
            ({"WIFI": 1, "wifimask": 2.5}, "WIFI=1\nwifimask=2.5\n"),
            ({"wifiip": None}, "wifiip=\n"),
            ({"SSID": "a=b c"}, "SSID=a=b c\n"),
            ({"SIDD": "x"}, "SIDD=x\n"),  # the CLI names it, with its place and the name meant
        ]
        for options, text in cases:
            self.assertEqual(device_options.option_text(options), text)

    def test_lists_that_would_not_be_read_back_as_given_are_refused(self):
        cases = [
            ({"wifidhcp": False}, "wifidhcp is a boolean"),
            ({"WI=FI": "1"}, "holds '='"),
            ({"SSID\n": "1"}, "control character (0x0A"),
            ({"": "1"}, "non-empty text"),
            ({"SSID": "a\r\nWIFI=0"}, "the value of SSID holds a control character (0x0D"),
            ({"SSID": "a\tb"}, "the value of SSID holds a control character (0x09 at character 2)"),
            ({"SSID": ["a"]}, "must be text or a number"),
        ]
        for options, message in cases:
            with self.assertRaises(device_options.ArgumentError) as raised:
                device_options.option_text(options)
            self.assertIn(message, str(raised.exception))


class CommandTest(unittest.TestCase):
    def test_check_mode_asks_for_the_check_and_neither_restart_nor_verify(self):
        command = device_options.cli_command("/bin/qc", params(verify=True, restart="always"),
                                             "/t/o", "/t/d.csv", True)
        self.assertEqual(command, ["/bin/qc", "apply", "--json", "--options", "/t/o", "--check",
                                   "--devices", "/t/d.csv"])

    def test_apply_passes_every_argument_on(self):
        command = device_options.cli_command(
            "qc", params(verify=True, verify_timeout=5.0, jobs=4, show_secrets=True,
                         restart="never", allow_unknown_options=True), "/t/o", "/t/d.csv",
            False)
        self.assertEqual(command, ["qc", "apply", "--json", "--options", "/t/o",
                                   "--restart", "never", "--verify", "--verify-timeout", "5.0",
                                   "--show-secrets", "--allow-unknown-options", "--jobs", "4",
                                   "--devices", "/t/d.csv"])

    def test_a_site_file_is_passed_as_it_is(self):
        command = device_options.cli_command("qc", params(devices=None, devices_file="/s.csv"),
                                             "o", None, False)
        self.assertEqual(command[-2:], ["--devices", "/s.csv"])


class ArgumentTest(unittest.TestCase):
    def test_out_of_range_arguments_are_refused(self):
        cases = [
            (dict(jobs=0), "jobs"),
            (dict(max_failed_devices_percentage=101), "max_failed_devices_percentage"),
            (dict(max_failed_devices_percentage=-1), "max_failed_devices_percentage"),
            (dict(options={}), "options"),
        ]
        for changes, name in cases:
            with self.assertRaises(device_options.ArgumentError) as raised:
                device_options.check_arguments(params(**changes))
            self.assertTrue(str(raised.exception).startswith(name + ":"))

    def test_arguments_in_range_pass(self):
        device_options.check_arguments(params(jobs=1, max_failed_devices_percentage=100))
        device_options.check_arguments(params(devices=None, devices_file="s.csv"))


class ReportTest(unittest.TestCase):
    def test_changed_means_written_or_in_check_mode_would_change(self):
        quiet = dict(devices=[device("a"), device("b")])
        written = dict(devices=[device("a"), device("b", written=1)])
        planned = dict(devices=[device("a", "checked", changes=[dict(name="SSID", after="x")])])
        self.assertFalse(device_options.was_changed(quiet, False))
        self.assertTrue(device_options.was_changed(written, False))
        self.assertFalse(device_options.was_changed(quiet, True))
        self.assertTrue(device_options.was_changed(planned, True))


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


class ModuleRunTest(ModuleTestCase):
    """main() as Ansible starts it: what the task shows and what the site host logs."""

    MODULE = device_options

    def assert_no_secret(self, run, *secrets):
        for secret in (SECRET,) + secrets:
            self.assertNotIn(secret, run.output)
            self.assertNotIn(secret, " ".join(run.logged))

    def test_a_failed_argument_check_shows_its_message_and_ordinary_values_unmangled(self):
        options = {"WIFI": "1", "SSID": "Office", "WPAPSK": SECRET}
        devices = [{"device": "tcp:10.0.0.1", "options": {"wifiip": "10.1.1.1",
                                                          "Key1Str": OTHER_SECRET}}]
        cases = [
            (dict(options=options, options_file="/etc/o.ini", devices=["tcp:10.0.0.1"]),
             "parameters are mutually exclusive: options|options_file"),
            (dict(options=options, devices=["tcp:10.0.0.1"], jobs="many"),
             "argument 'jobs' is of type"),
            (dict(options=options, devices=devices, devices_file="/etc/site.csv"),
             "parameters are mutually exclusive: devices|devices_file"),
            (dict(options=options, devices=devices, verify="sometimes"),
             "argument 'verify' is of type"),
        ]
        for arguments, message in cases:
            run = self.run_module(**arguments)
            self.assertTrue(run.result["failed"])
            self.assertIn(message, run.result["msg"])
            self.assertNotIn("*", run.result["msg"])
            self.assert_no_secret(run, OTHER_SECRET)
            shown = run.result["invocation"]["module_args"]["options"]
            self.assertEqual((shown["WIFI"], shown["SSID"]), ("1", "Office"))

    def test_a_secret_behind_a_misspelt_or_unknown_name_stays_hidden(self):
        cases = [{"wpapsk": SECRET}, {"~Custom": SECRET}, {"MyPassphrase": SECRET},
                 "WIFI=1 WPAPSK=%s" % SECRET, "not a dict %s" % SECRET]
        for options in cases:
            run = self.run_module(options=options, options_file="/x", devices=["tcp:a"])
            self.assertTrue(run.result["failed"], options)
            self.assert_no_secret(run)

    def test_the_system_log_entry_of_the_call_hides_only_the_secret_values(self):
        self.cli.answer(stdout=report([device("tcp:10.0.0.1:4370")]))
        run = self.run_module(options={"WIFI": "1", "WPAPSK": SECRET}, devices=["tcp:10.0.0.1"])
        self.assertFalse(run.result.get("failed"), run.result)
        self.assertTrue(any("'WIFI': '1'" in line for line in run.logged), run.logged)
        self.assert_no_secret(run)

    def test_show_secrets_returns_the_tasks_own_secrets_but_the_log_entry_hides_them(self):
        self.cli.answer(stdout=report([device("tcp:10.0.0.1:4370", "checked", changes=[
            dict(name="WPAPSK", before="old", after=SECRET)])], command="check"))
        for show, after in ((True, SECRET), (False, "VALUE_SPECIFIED_IN_NO_LOG_PARAMETER")):
            run = self.run_module(check_mode=True, options={"WPAPSK": SECRET},
                                  devices=["tcp:10.0.0.1"], show_secrets=show)
            self.assertEqual(run.result["devices"][0]["changes"][0]["after"], after)
            self.assertNotIn(SECRET, " ".join(run.logged))
            self.assertEqual("--show-secrets" in self.cli.record()["arguments"], show)

    def test_no_value_reaches_the_command_line_and_the_files_are_private_and_removed(self):
        self.cli.answer(stdout=report([device("tcp:10.0.0.1:4370", written=2),
                                       device("serial:COM1,device=2,baud=115200")]))
        devices = [{"device": "tcp:10.0.0.1", "options": {"wifiip": "10.1.1.1",
                                                          "WPAPSK": OTHER_SECRET}},
                   "serial:COM1,device=2"]
        run = self.run_module(options={"SSID": "Office", "WPAPSK": SECRET}, devices=devices)
        self.assertTrue(run.result["changed"], run.result)
        record = self.cli.record()
        self.assertNotIn(SECRET, " ".join(record["arguments"]))
        self.assertNotIn("10.1.1.1", " ".join(record["arguments"]))
        files = record["files"]
        self.assertEqual(files["--options"]["text"], "SSID=Office\nWPAPSK=%s\n" % SECRET)
        self.assertEqual(files["--devices"]["text"],
                         '"device","wifiip","WPAPSK"\n'
                         '"tcp:10.0.0.1","10.1.1.1","%s"\n'
                         '"serial:COM1,device=2","",""\n' % OTHER_SECRET)
        for given in files.values():
            self.assertEqual(given["mode"], 0o600)
            self.assertFalse(os.path.exists(given["path"]))
        self.assert_no_secret(run, OTHER_SECRET)

    def test_the_clis_message_names_the_entry_of_devices_not_the_temporary_file(self):
        # The module writes the list to devices.csv in the task's temporary folder.
        csv_path = os.path.join(self.folder, "devices.csv")
        self.cli.answer(rc=2, stderr=(
            "quillstone-cli: %s:3:1: device tcp:10.0.0.1:4370 is listed already at %s:2\n"
            "Nothing was sent to any device.\n" % (csv_path, csv_path)))
        run = self.run_module(options={"SSID": "x"},
                              devices=["tcp:10.0.0.1", "tcp:10.0.0.1:4370"])
        self.assertEqual(self.cli.record()["files"]["--devices"]["path"], csv_path)
        self.assertEqual(run.result["msg"],
                         "quillstone-cli: devices[1]: device tcp:10.0.0.1:4370 is listed "
                         "already at devices[0]\nNothing was sent to any device.")

    def test_a_wrong_cli_path_names_the_path_tried(self):
        not_executable = os.path.join(self.folder, "plain-file")
        open(not_executable, "w").close()
        cases = [
            ("/nowhere/bin/quillstone-cli",
             "quillstone-cli not found at /nowhere/bin/quillstone-cli (set cli_path or install "
             "the package)"),
            (not_executable, "quillstone-cli at %s is not an executable file (set cli_path or "
                             "install the package)" % not_executable),
            (self.folder, "quillstone-cli at %s is not an executable file (set cli_path or "
                          "install the package)" % self.folder),
        ]
        for path, message in cases:
            run = self.run_module(cli_path=path, options={"SSID": "x"}, devices=["tcp:a"])
            self.assertEqual(run.result["msg"], message)

    def test_a_cli_name_not_on_path_names_the_search_path(self):
        with mock.patch.dict(os.environ, PATH="/nowhere/a:/nowhere/b"):
            run = self.run_module(cli_path="quillstone-cli-missing", options={"SSID": "x"},
                                  devices=["tcp:a"])
        self.assertTrue(run.result["msg"].startswith(
            "quillstone-cli not found at quillstone-cli-missing on PATH /nowhere/a:/nowhere/b"),
            run.result["msg"])
        self.assertTrue(run.result["msg"].endswith("(set cli_path or install the package)"))

    def test_the_old_name_of_the_failure_limit_works_and_is_deprecated(self):
        self.cli.answer(rc=1, stdout=report([device("tcp:a:1"), device("tcp:b:1", "failed"),
                                             device("tcp:c:1"), device("tcp:d:1")]))
        for name, limit, fails in [("max_fail_percentage", 25, False),
                                   ("max_fail_percentage", 24, True),
                                   ("max_failed_devices_percentage", 25, False)]:
            run = self.run_module(options={"SSID": "x"}, devices=["tcp:a"], **{name: limit})
            self.assertEqual(bool(run.result.get("failed")), fails, (name, limit))
            deprecations = run.result.get("deprecations", [])
            if name == "max_fail_percentage":
                self.assertEqual(len(deprecations), 1)
                self.assertIn("max_fail_percentage", deprecations[0]["msg"])
                self.assertEqual(deprecations[0]["collection_name"], "quillstone.fleet")
                self.assertEqual(deprecations[0]["version"], "1.0.0")
            else:
                self.assertEqual(deprecations, [])


def documented_options(module):
    """The module's options as ansible-doc shows them, the shared fragment included."""
    documentation = yaml.safe_load(module.DOCUMENTATION)
    options = {}
    if "quillstone.fleet.site" in documentation.get("extends_documentation_fragment", []):
        options.update(yaml.safe_load(site_fragment.ModuleDocFragment.DOCUMENTATION)["options"])
    options.update(documentation["options"])
    return options


def readme_tasks():
    with open(os.path.join(ROOT, "README.md")) as text:
        blocks = re.findall(r"```yaml\n(.*?)```", text.read(), re.DOTALL)
    return [task for block in blocks for play in (yaml.safe_load(block) or [])
            if isinstance(play, dict) for task in play.get("tasks", [])]


class DocumentationTest(unittest.TestCase):
    """What ansible-doc shows matches what the modules take."""

    MODULES = [device_options, plugin("plugins.modules.device_info")]

    def test_every_argument_is_documented_with_its_type_default_choices_and_aliases(self):
        for module in self.MODULES:
            documented = documented_options(module)
            self.assertEqual(sorted(documented), sorted(module.ARGUMENT_SPEC), module.__name__)
            for name, rules in module.ARGUMENT_SPEC.items():
                doc = documented[name]
                for key in ("type", "default", "choices", "elements", "aliases", "required"):
                    self.assertEqual(doc.get(key), rules.get(key),
                                     "%s %s: %s" % (module.__name__, name, key))

    def test_the_readmes_playbooks_and_examples_use_only_arguments_the_modules_take(self):
        used = 0
        tasks = readme_tasks()
        for module in self.MODULES:
            tasks += yaml.safe_load(module.EXAMPLES)
        for task in tasks:
            for module in self.MODULES:
                arguments = task.get("quillstone.fleet." + module.__name__.rsplit(".", 1)[1])
                if arguments is None:
                    continue
                used += 1
                self.assertLessEqual(set(arguments), set(module.ARGUMENT_SPEC), arguments)
        self.assertGreaterEqual(used, 10)

    def test_examples_and_return_are_yaml(self):
        for module in self.MODULES:
            self.assertTrue(yaml.safe_load(module.EXAMPLES))
            self.assertIn("devices", yaml.safe_load(module.RETURN))


if __name__ == "__main__":
    unittest.main()
