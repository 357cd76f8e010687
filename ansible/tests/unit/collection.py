# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)
"""The collection's plugins as Python modules, with plain unittest as well as ansible-test.

The modules import their shared code as ansible_collections.quillstone.fleet...; outside
ansible-test the collection is not installed under that name, so a temporary folder with a
link named so goes on sys.path.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import atexit
import contextlib
import importlib
import io
import json
import os
import shutil
import sys
import tempfile
import unittest

from unittest import mock

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PREFIX = "ansible_collections.quillstone.fleet."


def _make_importable():
    folder = tempfile.mkdtemp(prefix="quillstone-collection-")
    atexit.register(shutil.rmtree, folder, True)
    namespace = os.path.join(folder, "ansible_collections", "quillstone")
    os.makedirs(namespace)
    os.symlink(ROOT, os.path.join(namespace, "fleet"))
    sys.path.insert(0, folder)
    importlib.invalidate_caches()


def plugin(dotted):
    """plugin("plugins.modules.device_options"): the module, imported from this tree."""
    try:
        return importlib.import_module(PREFIX + dotted)
    except ImportError:
        _make_importable()
        return importlib.import_module(PREFIX + dotted)


class ModuleRun(object):
    """One run of a module's main() in this process, as Ansible would start it."""

    def __init__(self, output, logged):
        self.output = output  # everything the module printed
        self.logged = logged  # what it sent to the site host's system log
        self.result = json.loads(output[output.index("{"):])


def run_module(module, arguments, tmpdir, check_mode=False, diff=False):
    from ansible.module_utils import basic
    from ansible.module_utils.common import warnings
    # Ansible gathers warnings and deprecations for the one run of a module process.
    del warnings._global_warnings[:]
    del warnings._global_deprecations[:]
    internal = dict(_ansible_tmpdir=tmpdir, _ansible_remote_tmp=tmpdir,
                    _ansible_keep_remote_files=False, _ansible_check_mode=check_mode,
                    _ansible_diff=diff)
    basic._ANSIBLE_ARGS = json.dumps(
        {"ANSIBLE_MODULE_ARGS": dict(arguments, **internal)}).encode("utf-8")
    logged = []

    def log(self, msg, log_args=None):
        logged.append(msg)

    out = io.StringIO()
    try:
        with mock.patch.object(basic.AnsibleModule, "log", log):
            with contextlib.redirect_stdout(out):
                try:
                    module.main()
                except SystemExit:
                    pass
    finally:
        basic._ANSIBLE_ARGS = None
    return ModuleRun(out.getvalue(), logged)


FAKE_CLI = r'''#!%s
# Stands in for quillstone-cli: records its arguments and its input files, then answers as
# QUILLSTONE_FAKE told it.
import json, os, stat, sys
told = json.loads(os.environ["QUILLSTONE_FAKE"])
arguments = sys.argv[1:]
files = {}
for flag in ("--options", "--devices", "--report"):
    if flag in arguments:
        path = arguments[arguments.index(flag) + 1]
        if os.path.exists(path):
            with open(path) as given:
                files[flag] = dict(path=path, text=given.read(),
                                   mode=stat.S_IMODE(os.stat(path).st_mode))
with open(told["record"], "w") as record:
    json.dump(dict(arguments=arguments, files=files), record)
if told.get("report_file") is not None:
    with open(arguments[arguments.index("--report") + 1], "w") as report:
        report.write(told["report_file"])
sys.stdout.write(told.get("stdout", ""))
sys.stderr.write(told.get("stderr", ""))
sys.exit(told.get("rc", 0))
'''


class FakeCli(object):
    """A quillstone-cli stand-in in `folder`; `answer(...)` says what its next run prints."""

    def __init__(self, folder):
        self.path = os.path.join(folder, "quillstone-cli")
        self.record_path = os.path.join(folder, "record.json")
        with open(self.path, "w") as program:
            program.write(FAKE_CLI % sys.executable)
        os.chmod(self.path, 0o755)
        self.answer()

    def answer(self, stdout="", stderr="", rc=0, report_file=None):
        os.environ["QUILLSTONE_FAKE"] = json.dumps(dict(
            record=self.record_path, stdout=stdout, stderr=stderr, rc=rc,
            report_file=report_file))

    def record(self):
        with open(self.record_path) as record:
            return json.load(record)


def report(devices, **fields):
    """A JSON report of quillstone-cli with these device entries."""
    base = dict(tool="quillstone-cli", version="9.9", command="apply", optionsAsked=[],
                devices=devices, succeeded=sum(1 for entry in devices
                                               if entry["result"] in ("done", "verified",
                                                                      "checked")))
    base.update(fields)
    return json.dumps(base)


def device(name, result="done", written=0, changes=None, option_results=(), problem=None):
    return dict(device=name, result=result, written=written, unchanged=0, failed=0,
                restarted=False, verify="not asked",
                problem=problem if problem is not None else "" if result == "done" else "why",
                mismatches=[], optionResults=list(option_results), changeValues=changes or [])


class ModuleTestCase(unittest.TestCase):
    """Runs MODULE's main() with a FakeCli as its quillstone-cli, in a folder of its own."""

    MODULE = None
    DEFAULTS = {}

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quillstone-unit-")
        self.cli = FakeCli(self.folder)

    def tearDown(self):
        os.environ.pop("QUILLSTONE_FAKE", None)
        shutil.rmtree(self.folder)

    def run_module(self, check_mode=False, **arguments):
        arguments = dict(dict(self.DEFAULTS, cli_path=self.cli.path), **arguments)
        return run_module(self.MODULE, arguments, self.folder, check_mode=check_mode)
