#!/usr/bin/python3
# What the accessibility layer (AT-SPI, as a screen reader sees it) tells of an application,
# and the actions a screen reader takes. Every query the application answers is timed; one
# that takes longer than a second fails the command (exit status 2).
#
# usage: atspi.py APPLICATION walk      the main window: its name, then one line per label,
#                                       "combo: ITEM|ITEM" and "button: NAME" in tree order
#                                       (a line feed in a name shows as \n; a label whose
#                                       text is not its name is followed by "text: TEXT")
#        atspi.py APPLICATION focus     the main window's controls and the labels that name
#                                       one: "ROLE NAME: STATE...; labelled by NAME" or
#                                       "label NAME: label for NAME", in tree order
#        atspi.py APPLICATION focus-events SECONDS   says "listening", then, for SECONDS,
#                                       "ROLE NAME" of each object of the application (one
#                                       started later too) that gains the focus
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


def shown(name):
    return name.replace("\n", "\\n")


def main_frame(app):
    for frame in windows(app):
        if timed(frame.getRole) == pyatspi.ROLE_FRAME:
            return frame
    return None


def walk(app):
    frame = main_frame(app)
    if frame is not None:
        print(timed(lambda: frame.name))
        for node in descendants(frame):
            role = timed(node.getRole)
            if role == pyatspi.ROLE_LABEL:
                name = timed(lambda: node.name)
                print("label: " + shown(name))
                text = timed(node.queryText)
                whole = timed(text.getText, 0, -1)
                if whole != name:
                    print("text: " + shown(whole))
            elif role == pyatspi.ROLE_COMBO_BOX:
                items = [timed(lambda: i.name) for i in descendants(node, pyatspi.ROLE_MENU_ITEM)]
                print("combo: " + "|".join(items))
            elif role == pyatspi.ROLE_PUSH_BUTTON:
                print("button: " + timed(lambda: node.name))
        return 0
    return 1


STATES = [(pyatspi.STATE_FOCUSABLE, "focusable"), (pyatspi.STATE_FOCUSED, "focused")]
RELATIONS = [(pyatspi.RELATION_LABELLED_BY, "labelled by"), (pyatspi.RELATION_LABEL_FOR, "label for")]
NAMED = {pyatspi.ROLE_COMBO_BOX: "combo", pyatspi.ROLE_PUSH_BUTTON: "button", pyatspi.ROLE_LABEL: "label"}


def focus(app):
    frame = main_frame(app)
    if frame is None:
        return 1
    for node in descendants(frame):
        role = timed(node.getRole)
        if role not in NAMED:
            continue
        states = timed(node.getState)
        said = [word for state, word in STATES if timed(states.contains, state)]
        for relation in timed(node.getRelationSet):
            kind = timed(relation.getRelationType)
            for wanted, words in RELATIONS:
                if kind == wanted:
                    targets = [timed(relation.getTarget, i) for i in range(timed(relation.getNTargets))]
                    said.append(words + " " + ", ".join(shown(timed(lambda: t.name)) for t in targets))
        if role != pyatspi.ROLE_LABEL or said:
            print("%s %s: %s" % (NAMED[role], shown(timed(lambda: node.name)), "; ".join(said)))
    return 0


def focus_events(name, seconds):
    from gi.repository import GLib

    def gained(event):
        if event.detail1 == 1 and event.host_application.name == name:
            print("%s %s" % (event.source.getRoleName(), shown(event.source.name)), flush=True)

    pyatspi.Registry.registerEventListener(gained, "object:state-changed:focused")
    GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
    print("listening", flush=True)
    pyatspi.Registry.start()
    return 0


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
    if sys.argv[2] == "focus-events":  # also of an application that is yet to start
        return focus_events(sys.argv[1], float(sys.argv[3]))
    app = application(sys.argv[1])
    if app is None:
        status = 1
    elif sys.argv[2] == "walk":
        status = walk(app)
    elif sys.argv[2] == "focus":
        status = focus(app)
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
