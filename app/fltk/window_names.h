// The legacy X11 names of a window, WM_NAME and WM_ICON_NAME. FLTK 1.3 stores the UTF-8
// caption in them as if it were Latin-1 (type STRING), which window managers and tools that
// read them show as mojibake; the caption is written again as the text property the
// caption's characters need (COMPOUND_TEXT for Cyrillic).
#pragma once

#include "app/fltk/fl.h"

namespace orven::fltk {

// For a shown window, after every change of its label.
void set_legacy_names(Fl_Window& window);

}  // namespace orven::fltk
