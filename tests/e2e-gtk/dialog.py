#!/usr/bin/python3
# What the accessibility layer (AT-SPI, as a screen reader sees it) tells of an application's
# open dialog: its title on the first line, then the names its file-type list offers, one a
# line, in their order. Exit status 1 when the application shows no such dialog.
#
# usage: dialog.py APPLICATION
import sys

import pyatspi


def descendants(accessible, role):
    """Every accessible of the role below this one, depth first."""
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is None:
            continue
        if child.getRole() == role:
            yield child
        yield from descendants(child, role)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    for application in desktop:
        if application is None or application.name != sys.argv[1]:
            continue
        for i in range(application.childCount):
            dialog = application.getChildAtIndex(i)
            if dialog is None or dialog.getRole() != pyatspi.ROLE_FILE_CHOOSER:
                continue
            print(dialog.name)
            for combo in descendants(dialog, pyatspi.ROLE_COMBO_BOX):
                for item in descendants(combo, pyatspi.ROLE_MENU_ITEM):
                    print(item.name)
            return 0
    return 1


sys.exit(main())
