#!/usr/bin/python3
"""What a screen reader sees of a running program, read over AT-SPI for the end-to-end tests.

  accessibility_probe.py tree PID              every object of the program, one JSON object a line:
                                               depth, role, name, description, actions, states
  accessibility_probe.py press PID ROLE NAME   runs Press on the first object with that role and name

Exit status: 0 done, 2 the program is not (yet) on the accessibility bus, 3 no such object.
Needs Debian's python3-pyatspi, so it runs with Debian's own interpreter."""
import json
import sys

import pyatspi

STATES = ("enabled", "sensitive", "focusable", "focused", "selected", "showing")


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        try:
            if application is not None and application.get_process_id() == pid:
                return application
        except Exception:  # noqa: BLE001 - an application may leave while we look
            continue
    return None


def actions_of(accessible):
    try:
        action = accessible.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(index) for index in range(action.nActions)]


def walk(accessible, depth=0):
    if accessible is None or depth > 12:
        return
    yield depth, accessible
    for index in range(min(accessible.childCount, 500)):
        yield from walk(accessible.getChildAtIndex(index), depth + 1)


def describe(depth, accessible):
    states = accessible.getState()
    return {
        "depth": depth,
        "role": accessible.getRoleName(),
        "name": accessible.name or "",
        "description": accessible.description or "",
        "actions": actions_of(accessible),
        "states": [name for name in STATES if states.contains(getattr(pyatspi, "STATE_" + name.upper()))],
    }


def press(application, role, name):
    for _, accessible in walk(application):
        if accessible.getRoleName() == role and accessible.name == name:
            action = accessible.queryAction()
            for index in range(action.nActions):
                if action.getName(index) == "Press":
                    return action.doAction(index)
    return None


def main(argv):
    if len(argv) < 3 or argv[1] not in ("tree", "press") or (argv[1] == "press" and len(argv) != 5):
        sys.exit(__doc__)
    application = find_application(int(argv[2]))
    if application is None:
        return 2
    if argv[1] == "tree":
        for depth, accessible in walk(application):
            print(json.dumps(describe(depth, accessible)))
        return 0
    return 0 if press(application, argv[3], argv[4]) is not None else 3


if __name__ == "__main__":
    sys.exit(main(sys.argv))
