#!/usr/bin/python3
# A window that drags the files named on its command line (text/uri-list), as a file
# manager does: the end-to-end test presses the pointer on it and lets go over orven.
#
# usage: drag_source.py X Y FILE...   (the window's top-left corner, 150 x 100 pixels)
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

uris = [GLib.filename_to_uri(path, None) for path in sys.argv[3:]]
window = Gtk.Window(title="drag source")
window.set_default_size(150, 100)
window.move(int(sys.argv[1]), int(sys.argv[2]))
area = Gtk.EventBox()
window.add(area)
area.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
area.drag_source_add_uri_targets()
area.connect("drag-data-get", lambda w, ctx, data, info, time: data.set_uris(uris))
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
