#!/usr/bin/python3
# What the accessibility layer (AT-SPI, as a screen reader sees it) tells of an application,
# and the actions a screen reader takes. Every query the application answers is timed; one
# that takes longer than a second fails the command (exit status 2).
#
# usage: atspi.py APPLICATION walk      the main window: its name, then one line per label,
#                                       "combo: ITEM|ITEM" and "button: NAME" in tree order
#        atspi.py APPLICATION dialog    the open dialog's title, then its filters one a line
#        atspi.py APPLICATION message   the caption of the message box shown
#        atspi.py APPLICATION press NAME   activates the push button NAME (in the topmost
#                                       window that has one)
# Exit status 1 when the application or the thing asked for is not there.
import sys
import time

import pyatspi

SLOW = 1.0
slowest = 0.0


def timed(call, *args):
    global slowest
    start = time.monotonic()
    try:
        return call(*args)
    finally:
        slowest = max(slowest, time.monotonic() - start)


def children(accessible):
    for i in range(timed(lambda: accessible.childCount)):
        child = timed(accessible.getChildAtIndex, i)
        if child is not None:
            yield child


def descendants(accessible, role=None, limit=5000):
    """Accessibles below this one, depth first, of the role when one is given."""
    stack = list(reversed(list(children(accessible))))
    seen = 0
    while stack and seen < limit:
        node = stack.pop()
        seen += 1
        if role is None or timed(node.getRole) == role:
            yield node
        stack.extend(reversed(list(children(node))))


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if timed(lambda: app.name) == name:
            return app
    return None


def windows(app):
    return list(children(app))


def walk(app):
    for frame in windows(app):
        if timed(frame.getRole) != pyatspi.ROLE_FRAME:
            continue
        print(timed(lambda: frame.name))
        for node in descendants(frame):
            role = timed(node.getRole)
            if role == pyatspi.ROLE_LABEL:
                print("label: " + timed(lambda: node.name))
            elif role == pyatspi.ROLE_COMBO_BOX:
                items = [timed(lambda: i.name) for i in descendants(node, pyatspi.ROLE_MENU_ITEM)]
                print("combo: " + "|".join(items))
            elif role == pyatspi.ROLE_PUSH_BUTTON:
                print("button: " + timed(lambda: node.name))
        return 0
    return 1


def dialog(app):
    for window in windows(app):
        if timed(window.getRole) != pyatspi.ROLE_FILE_CHOOSER:
            continue
        print(timed(lambda: window.name))
        for combo in descendants(window, pyatspi.ROLE_COMBO_BOX):
            for item in descendants(combo, pyatspi.ROLE_MENU_ITEM):
                print(timed(lambda: item.name))
        return 0
    return 1


def message(app):
    for window in windows(app):
        if timed(window.getRole) in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG):
            print(timed(lambda: window.name))
            return 0
    return 1


def press(app, name):
    # The last window is the one shown last: the message or dialog over the main window.
    for window in reversed(windows(app)):
        for button in descendants(window, pyatspi.ROLE_PUSH_BUTTON):
            if timed(lambda: button.name) == name:
                action = timed(button.queryAction)
                timed(action.doAction, 0)
                return 0
    return 1


def main():
    app = application(sys.argv[1])
    if app is None:
        status = 1
    elif sys.argv[2] == "walk":
        status = walk(app)
    elif sys.argv[2] == "dialog":
        status = dialog(app)
    elif sys.argv[2] == "message":
        status = message(app)
    elif sys.argv[2] == "press":
        status = press(app, sys.argv[3])
    else:
        status = 1
    if slowest > SLOW:
        print("slow: a query took %.2f s" % slowest, file=sys.stderr)
        return 2
    return status


sys.exit(main())
