# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Quillstone developers
# MIT License (see the LICENSE file at the top of the Quillstone sources)

# The option names as the device link knows them (devicelink/OptionNames.*), for the rules the
# collection applies before quillstone-cli runs: which names are known, and whose values are
# secret. The unit tests ask the C++ code itself whether the two agree.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import re

# What the CLI and the modules show in place of a secret value.
MASK = "********"

# Every name the wireless page and the modem page write, wireless first, exactly as the device
# compares them (case-sensitive).
KNOWN_OPTION_NAMES = (
    "WIFI", "SSID", "NetworkType", "AuthMode", "EncrypType", "DefaultKeyID",
    "Key1Type", "Key1Str", "Key2Type", "Key2Str", "Key3Type", "Key3Str", "Key4Type", "Key4Str",
    "WPAPSK", "wifidhcp", "wifiip", "wifimask", "wifigateway",
    "~MODEM", "ConnectMODEM", "APN", "ModemUserName", "ModemPassword", "ModemDialNumber",
    "ModemKeepLive", "AutoUPLogTime", "AuthServerCheckMode", "AuthServerREQ", "ASTimeOut",
    "AuthServerIP", "DNS", "URL", "~AuthServer",
)

# The passphrase, the four WEP keys and the modem password; besides these, every option whose
# name begins with "~" (the writer may scramble it).
SECRET_OPTION_NAMES = frozenset(("WPAPSK", "Key1Str", "Key2Str", "Key3Str", "Key4Str",
                                 "ModemPassword"))
SCRAMBLED_PREFIX = "~"

_KNOWN = frozenset(KNOWN_OPTION_NAMES)
_SECRET_FOLDED = frozenset(name.lower() for name in SECRET_OPTION_NAMES)
# A name the list does not know that reads like a secret one.
_LOOKS_SECRET = re.compile(r"psk|key|pass|secret|token", re.IGNORECASE)


def is_known_option_name(name):
    return name in _KNOWN


def is_secret_option(name):
    """The device link's rule, exactly: the value is never shown."""
    return name.startswith(SCRAMBLED_PREFIX) or name in SECRET_OPTION_NAMES


def hides_value(name):
    """Whether the modules keep the value of an option named `name` out of every message.

    The device link's rule, and beyond it, for a name the list does not know (a typing error
    such as "wpapsk", an option sent with allow_unknown_options), whatever reads like a secret:
    its value is most likely one even though quillstone-cli would refuse or show it.
    """
    if is_secret_option(name):
        return True
    if is_known_option_name(name):
        return False
    bare = name.strip()
    return (bare.startswith(SCRAMBLED_PREFIX) or bare.lower() in _SECRET_FOLDED or
            _LOOKS_SECRET.search(bare) is not None)
