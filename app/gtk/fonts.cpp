#include "app/gtk/fonts.h"

#include <fontconfig/fontconfig.h>
#include <hb.h>
#include <pango/pangofc-fontmap.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

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

// A face of a family, as a file holds it.
struct FaceFile {
  std::string file;
  int index = 0;
};

// The face of the family itself that Pango draws the window's texts with: upright, of normal
// width, the weight nearest medium. None when the family is not installed (a substitute does
// not count). A plain listing, without fontconfig's substitution rules, which would cost
// more than the rest of the start-up.
std::optional<FaceFile> installed_face(FcConfig* config, const std::string& family) {
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_WEIGHT, nullptr);
  std::optional<FaceFile> nearest;
  int nearest_distance = 0;
  if (pattern != nullptr && objects != nullptr &&
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str())) &&
      FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN) &&
      FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL)) {
    FcFontSet* fonts = FcFontList(config, pattern, objects);
    for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
      FcChar8* file = nullptr;
      int index = 0;
      int weight = FC_WEIGHT_REGULAR;  // a variable face gives a range: its default
      if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
      FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &index);
      FcPatternGetInteger(fonts->fonts[i], FC_WEIGHT, 0, &weight);
      const int distance = std::abs(weight - FC_WEIGHT_MEDIUM);
      if (!nearest || distance < nearest_distance) {
        nearest = FaceFile{reinterpret_cast<const char*>(file), index};
        nearest_distance = distance;
      }
    }
    if (fonts != nullptr) FcFontSetDestroy(fonts);
  }
  if (objects != nullptr) FcObjectSetDestroy(objects);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  return nearest;
}

// The face's character cell (ascent + descent) per pixel of em size, from the font file's
// own figures, which are the ones Pango lays text out with. Read with HarfBuzz rather than
// through Pango, whose font for a size of its own would sort every installed font and shape
// a sample text. Zero when the file gives none.
double file_cell_per_pixel(const FaceFile& face) {
  hb_blob_t* blob = hb_blob_create_from_file(face.file.c_str());  // empty when unreadable
  hb_face_t* hb_face = hb_face_create(blob, static_cast<unsigned>(face.index));
  hb_font_t* font = hb_font_create(hb_face);  // scaled to the em, in font units
  hb_font_extents_t extents{};
  const unsigned em = hb_face_get_upem(hb_face);
  const bool known = hb_font_get_h_extents(font, &extents) != 0;
  hb_font_destroy(font);
  hb_face_destroy(hb_face);
  hb_blob_destroy(blob);
  const int cell = extents.ascender - extents.descender;
  return known && em > 0 && cell > 0 ? static_cast<double>(cell) / em : 0.0;
}

// The same through Pango, measured at a large size, for a face no file was found for.
double pango_cell_per_pixel(PangoContext* context, const std::string& family) {
  constexpr double kProbe = 100;
  PangoFontDescription* probe = describe({family, kProbe});
  PangoFontMetrics* metrics = pango_context_get_metrics(context, probe, nullptr);
  const int cell = pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics);
  pango_font_metrics_unref(metrics);
  pango_font_description_free(probe);
  return cell > 0 ? static_cast<double>(cell) / PANGO_SCALE / kProbe : 1.0;
}

// The family the window asks for, or its stand-in when it is not installed, with the cell
// per pixel of its face.
std::pair<std::string, double> face(PangoContext* context, FcConfig* config,
                                    std::string_view wanted, const char* stand_in) {
  std::string family(wanted);
  std::optional<FaceFile> file = installed_face(config, family);
  if (!file) {
    family = stand_in;
    file = installed_face(config, family);
  }
  const double cell = file ? file_cell_per_pixel(*file) : 0.0;
  return {family, cell > 0 ? cell : pango_cell_per_pixel(context, family)};
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
  const auto [verdana, verdana_cell] = face(context, config, w::kBodyFont.face, "DejaVu Sans");
  const auto [arial, arial_cell] = face(context, config, w::kControlFont.face, "Liberation Sans");
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
