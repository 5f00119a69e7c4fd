// The window's parts as a screen reader hears them, where GTK's own widgets fall short: the
// mode list, whose keyboard focus a button inside it holds, reports itself focusable and
// focused (its accessible carries the states and their changes); an introduction paragraph
// is one label of several printed lines, each line drawn where a one-line label of its own
// would stand; a label and the control it names are tied both ways.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace orven::gtk {

// A combo box of texts whose accessible reports the focus of the button inside it.
GtkWidget* mode_list_new();

// One label whose text is the lines joined by line feeds, drawn a line every line_step
// pixels from its top, each as a label holding that line alone draws it.
GtkWidget* paragraph_new(const std::vector<std::string>& lines, int line_step);

// The label names the control: labelled-by on the control, label-for on the label.
void tie_label(GtkWidget* label, GtkWidget* control);

}  // namespace orven::gtk
