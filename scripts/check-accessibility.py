#!/usr/bin/python3
"""Lists the accessible tree of the running tool's windows as a screen reader sees it over
AT-SPI, and fails when a focusable control has no name.

Run by scripts/check-accessibility.sh on its own session and accessibility bus, with the tool
started there. It waits for the application "Quillstone", prints its main window's tree, opens
the device IP dialog with the "ConfigMachine" button's action, prints the dialog's tree and
closes it with Escape (which saves nothing), then presses "Test Connect" (the wrapper's
options.ini points it at a closed loopback port) and prints the box that says so.
"""
import sys
import time

import pyatspi

APPLICATION = "Quillstone"


def find_application(timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == APPLICATION and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def text_of(node):
    try:
        text = node.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, text.characterCount)


def labelled_by(node):
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                names.append(relation.getTarget(i).name)
    return names


def called(node):
    """What a reader calls the control: its name, or for a combo box the label that labels it
    (Qt gives a combo box its chosen item as its name on Linux, so without that label a reader
    says only the item)."""
    labels = [name for name in labelled_by(node) if name]
    if node.getRole() == pyatspi.ROLE_COMBO_BOX:
        return labels[0] if labels else ""
    return node.name or (labels[0] if labels else "")


def walk(node, depth, problems, out):
    states = node.getState()
    focusable = states.contains(pyatspi.STATE_FOCUSABLE)
    flags = []
    if focusable:
        flags.append("focusable")
    if not states.contains(pyatspi.STATE_ENABLED):
        flags.append("disabled")
    if not states.contains(pyatspi.STATE_SHOWING):
        flags.append("hidden")
    line = "%s%s %r" % ("  " * depth, node.getRoleName(), node.name)
    if node.description:
        line += " description=%r" % node.description
    labels = labelled_by(node)
    if labels:
        line += " labelled-by=%r" % labels
    text = text_of(node) if node.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
                                                pyatspi.ROLE_PASSWORD_TEXT) else None
    if text:
        line += " text=%r" % text
    if flags:
        line += " [" + ",".join(flags) + "]"
    print(line, file=out)
    if focusable and not called(node).strip():
        problems.append("a focusable %s in %s %r has no name (its text: %r)" % (
            node.getRoleName(), node.parent.getRoleName(), node.parent.name, text_of(node)))
    for child in node:
        if child is not None:
            walk(child, depth + 1, problems, out)


def window_named(app, title, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for window in app:
            if window is not None and window.name == title:
                return window
        time.sleep(0.2)
    return None


def find(node, role, name):
    if node.getRole() == role and node.name == name:
        return node
    for child in node:
        if child is not None:
            found = find(child, role, name)
            if found is not None:
                return found
    return None


KEY_ESCAPE = 9  # X key codes
KEY_RETURN = 36


def press_and_walk(app, main_window, button_name, title, close_key, problems):
    """Presses the button through its action, prints the window titled `title` that it opens
    and closes that window with `close_key`; returns the window's description, None when it
    did not open."""
    button = find(main_window, pyatspi.ROLE_PUSH_BUTTON, button_name)
    if button is None:
        problems.append("no %r button" % button_name)
        return None
    button.queryAction().doAction(0)
    window = window_named(app, title, 30)
    if window is None:
        problems.append("no window %r after pressing %r" % (title, button_name))
        return None
    print("==== %s" % title)
    walk(window, 0, problems, sys.stdout)
    description = window.description
    pyatspi.Registry.generateKeyboardEvent(close_key, None, pyatspi.KEY_PRESSRELEASE)
    return description


def main():
    app = find_application(30)
    if app is None:
        print("check-accessibility: no application %r on the accessibility bus" % APPLICATION,
              file=sys.stderr)
        return 1
    problems = []
    main_window = window_named(app, "Quillstone", 10)
    if main_window is None:
        print("check-accessibility: no window 'Quillstone'", file=sys.stderr)
        return 1
    print("==== main window")
    walk(main_window, 0, problems, sys.stdout)

    # The dialog, closed again with Escape, which saves nothing.
    press_and_walk(app, main_window, "ConfigMachine", "ConfigMachine", KEY_ESCAPE, problems)
    # "Test Connect" against the closed loopback port the wrapper put in options.ini: the
    # "can not connect with device" box, read as a reader meets it.
    box = press_and_walk(app, main_window, "Test Connect", "Information", KEY_RETURN, problems)
    if box is not None and box != "can not connect with device":
        problems.append("the box's description is %r, not its text" % box)

    for problem in problems:
        print("check-accessibility: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
