#include "app/fltk/fonts.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <map>
#include <string>
#include <string_view>

#include "app/fltk/fl.h"
#include "app/window_layout.h"

namespace orven::fltk {
namespace {

// True when a font of the family itself is installed, not merely a substitute for it. A
// plain listing, without fontconfig's substitution rules, which would cost more than the
// rest of the start-up.
bool installed(const std::string& family) {
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  bool found = false;
  if (pattern != nullptr && objects != nullptr &&
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()))) {
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    found = fonts != nullptr && fonts->nfont > 0;
    if (fonts != nullptr) FcFontSetDestroy(fonts);
  }
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  return found;
}

// A face registered under an FLTK font slot, with its cell height per pixel of font size.
struct Face {
  Fl_Font slot;
  double cell_per_pixel;
};

// Registers the face, or its stand-in when it is not installed, and measures its cell.
Face register_face(Fl_Font slot, std::string_view face, const char* stand_in) {
  // A leading blank asks FLTK's Xft layer for the regular (medium) weight. FLTK keeps the
  // pointer, so each slot's name lives as long as the program.
  static std::map<Fl_Font, std::string> names;
  const std::string wanted(face);
  names[slot] = " " + (installed(wanted) ? wanted : std::string(stand_in));
  Fl::set_font(slot, names[slot].c_str());
  constexpr int kProbe = 100;
  fl_font(slot, kProbe);
  return {slot, static_cast<double>(fl_height()) / kProbe};
}

// The size whose character cell is the given height in pixels.
FontChoice sized(const Face& face, int cell_height) {
  const auto size = static_cast<Fl_Fontsize>(std::lround(cell_height / face.cell_per_pixel));
  fl_font(face.slot, size);
  return {face.slot, size, fl_height() - fl_descent()};
}

}  // namespace

Fonts load_fonts() {
  namespace w = app::layout;
  static_assert(w::kTitleFont.face == w::kBodyFont.face, "title and body share one face");
  const Face verdana = register_face(FL_FREE_FONT, w::kBodyFont.face, "DejaVu Sans");
  const Face arial = register_face(FL_FREE_FONT + 1, w::kControlFont.face, "Liberation Sans");
  return {sized(verdana, w::kTitleFont.height), sized(verdana, w::kBodyFont.height),
          sized(arial, w::kControlFont.height)};
}

}  // namespace orven::fltk
