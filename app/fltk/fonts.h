// The three fonts of the window on FLTK: Verdana (title, body) and Arial (controls) where
// they are installed, else their metric look-alikes DejaVu Sans and Liberation Sans. Sizes are
// chosen so that the character cell (ascent + descent) has the window's pixel heights.
#pragma once

#include <FL/Enumerations.H>

namespace orven::fltk {

struct FontChoice {
  Fl_Font font;
  Fl_Fontsize size;
  int ascent;  // from the top of the cell to the baseline, where FLTK draws
};

struct Fonts {
  FontChoice title;
  FontChoice body;
  FontChoice control;
};

// Needs the display open.
Fonts load_fonts();

}  // namespace orven::fltk
