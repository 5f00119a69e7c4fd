// The window's three fonts: Verdana (the title and the body text) and Arial (the controls),
// or their metric look-alikes DejaVu Sans and Liberation Sans. Sizes are chosen so that the
// character cell (ascent + descent) has the window's pixel heights, which puts a text's top
// at the top-left points of app/window_layout.h when it is laid out by Pango.
#pragma once

#include <pango/pango.h>

#include <string>

namespace orven::gtk {

struct FontChoice {
  std::string family;
  double pixels;  // the em size in (logical) pixels
};

struct Fonts {
  FontChoice title;
  FontChoice body;
  FontChoice control;
};

// Measures with the context's font map (any widget's Pango context).
Fonts load_fonts(PangoContext* context);

// The font as Pango takes it; free it with pango_font_description_free.
PangoFontDescription* describe(const FontChoice& font);

// The style sheet that gives the labels and controls their fonts: the classes
// orven-title, orven-body (black text) and orven-control (buttons, the mode list and its
// drop-down), with the controls' padding trimmed to fit the window's control heights.
std::string style_sheet(const Fonts& fonts);

}  // namespace orven::gtk
