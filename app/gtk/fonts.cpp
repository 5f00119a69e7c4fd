#include "app/gtk/fonts.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangofc-fontmap.h>

#include <cmath>
#include <cstdio>
#include <string_view>

#include "app/window_layout.h"

namespace orven::gtk {
namespace {

// The fontconfig configuration the context's font map draws with. Fontconfig's current one
// would be a second: Pango loads its own on a thread while the window is built, and reading
// fontconfig's files and caches twice costs as much as the rest of this file's work.
FcConfig* font_map_config(PangoContext* context) {
  PangoFontMap* map = pango_context_get_font_map(context);
  return PANGO_IS_FC_FONT_MAP(map) ? pango_fc_font_map_get_config(PANGO_FC_FONT_MAP(map)) : nullptr;
}

// True when a font of the family itself is installed, not merely a substitute for it. A
// plain listing, without fontconfig's substitution rules, which would cost more than the
// rest of the start-up.
bool installed(FcConfig* config, const std::string& family) {
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  bool found = false;
  if (pattern != nullptr && objects != nullptr &&
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()))) {
    FcFontSet* fonts = FcFontList(config, pattern, objects);
    found = fonts != nullptr && fonts->nfont > 0;
    if (fonts != nullptr) FcFontSetDestroy(fonts);
  }
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  return found;
}

// The face's character cell per pixel of em size, measured at a large size.
double cell_per_pixel(PangoContext* context, const std::string& family) {
  constexpr double kProbe = 100;
  PangoFontDescription* probe = describe({family, kProbe});
  PangoFontMetrics* metrics = pango_context_get_metrics(context, probe, nullptr);
  const int cell = pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics);
  pango_font_metrics_unref(metrics);
  pango_font_description_free(probe);
  return cell > 0 ? static_cast<double>(cell) / PANGO_SCALE / kProbe : 1.0;
}

std::string face(FcConfig* config, std::string_view wanted, const char* stand_in) {
  const std::string name(wanted);
  return installed(config, name) ? name : std::string(stand_in);
}

// A length for the style sheet, with a point whatever the locale says.
std::string css_pixels(double pixels) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%03dpx", static_cast<int>(pixels),
                static_cast<int>((pixels - static_cast<int>(pixels)) * 1000));
  return text;
}

std::string css_font(const FontChoice& font) {
  return "font-family: \"" + font.family + "\"; font-size: " + css_pixels(font.pixels) +
         "; font-weight: 500; font-style: normal;";
}

}  // namespace

PangoFontDescription* describe(const FontChoice& font) {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, font.family.c_str());
  pango_font_description_set_weight(description, PANGO_WEIGHT_MEDIUM);
  pango_font_description_set_absolute_size(description, font.pixels * PANGO_SCALE);
  return description;
}

Fonts load_fonts(PangoContext* context) {
  namespace w = app::layout;
  static_assert(w::kTitleFont.face == w::kBodyFont.face, "title and body share one face");
  FcConfig* config = font_map_config(context);
  const std::string verdana = face(config, w::kBodyFont.face, "DejaVu Sans");
  const std::string arial = face(config, w::kControlFont.face, "Liberation Sans");
  const double verdana_cell = cell_per_pixel(context, verdana);
  const double arial_cell = cell_per_pixel(context, arial);
  // Whole pixel sizes, as the Windows window asks for its fonts.
  const auto sized = [](const std::string& family, int cell_height, double cell) {
    return FontChoice{family, static_cast<double>(std::lround(cell_height / cell))};
  };
  return {sized(verdana, w::kTitleFont.height, verdana_cell),
          sized(verdana, w::kBodyFont.height, verdana_cell),
          sized(arial, w::kControlFont.height, arial_cell)};
}

std::string style_sheet(const Fonts& fonts) {
  return ".orven-title { " + css_font(fonts.title) + " color: black; }\n" + ".orven-body { " +
         css_font(fonts.body) + " color: black; }\n" + ".orven-control { " +
         css_font(fonts.control) + " }\n" +
         "button.orven-control, .orven-control button { min-height: 0; padding-top: 0;"
         " padding-bottom: 0; }\n"
         "menu menuitem { " +
         css_font(fonts.control) + " }\n";
}

}  // namespace orven::gtk
