#include "app/fltk/fonts.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <cmath>
#include <string>

#include "app/fltk/fl.h"
#include "texts/window.h"

namespace orven::fltk {
namespace {

// True when fontconfig has the family itself, not merely a substitute for it.
bool installed(const std::string& family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  if (pattern == nullptr) return false;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  bool same = false;
  if (match != nullptr) {
    FcChar8* found = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch) {
      same = strcasecmp(reinterpret_cast<const char*>(found), family.c_str()) == 0;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return same;
}

// Registers the face (or its stand-in) under the slot and sizes it to the cell height.
FontChoice choose(Fl_Font slot, const texts::window::FontSpec& spec, const char* stand_in) {
  const std::string face(spec.face);
  // A leading blank asks FLTK's Xft layer for the regular (medium) weight.
  static std::string names[3];
  std::string& name = names[slot - FL_FREE_FONT];
  name = " " + (installed(face) ? face : std::string(stand_in));
  Fl::set_font(slot, name.c_str());

  constexpr int kProbe = 100;
  fl_font(slot, kProbe);
  const double cell_per_pixel = static_cast<double>(fl_height()) / kProbe;
  const auto size = static_cast<Fl_Fontsize>(std::lround(spec.height / cell_per_pixel));
  fl_font(slot, size);
  return {slot, size, fl_height() - fl_descent()};
}

}  // namespace

Fonts load_fonts() {
  namespace w = texts::window;
  Fonts fonts{};
  fonts.title = choose(FL_FREE_FONT, w::kTitleFont, "DejaVu Sans");
  fonts.body = choose(FL_FREE_FONT + 1, w::kBodyFont, "DejaVu Sans");
  fonts.control = choose(FL_FREE_FONT + 2, w::kControlFont, "Liberation Sans");
  return fonts;
}

}  // namespace orven::fltk
