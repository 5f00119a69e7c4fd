#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/gtk/accessible.h"
#include "app/gtk/fonts.h"
#include "app/gtk/main_window.h"
#include "app/gtk/services.h"
#include "app/window_layout.h"

// Under LeakSanitizer: the fontsets Pango's font map keeps, built by fontconfig on a thread of
// Pango's, are no leak of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace orven::gtk {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(DroppedUris, LocalFilesInOrderDecodedAndNothingElse) {
  const std::string here = std::string("file://") + g_get_host_name() + "/srv/here.php";
  const gchar* uris[] = {"file:///tmp/a%20b/%D0%BA%D0%BE%D0%B4.cpp",  // a blank, Cyrillic
                         "http://example.invalid/page.html",          // not a file
                         "file://localhost/tmp/x.h",
                         here.c_str(),
                         "file://elsewhere.invalid/tmp/y.txt",  // another machine's file
                         "file:///tmp/raw%FF.txt",              // bytes that are no UTF-8
                         "not a uri",
                         nullptr};
  EXPECT_THAT(local_paths(uris),
              ElementsAre(fs::path("/tmp/a b/код.cpp"), fs::path("/tmp/x.h"),
                          fs::path("/srv/here.php"), fs::path("/tmp/raw\xFF.txt")));
  EXPECT_THAT(local_paths(nullptr), IsEmpty());
  const gchar* none[] = {nullptr};
  EXPECT_THAT(local_paths(none), IsEmpty());
}

TEST(CommandLine, FilesAfterTheProgramAndAnOptionalEndOfOptions) {
  char program[] = "orven", dashes[] = "--", a[] = "a.php", b[] = "-b.txt";
  char* plain[] = {program, a, b};
  EXPECT_THAT(command_line_files(3, plain), ElementsAre(fs::path("a.php"), fs::path("-b.txt")));
  char* ended[] = {program, dashes, dashes, a};
  EXPECT_THAT(command_line_files(4, ended), ElementsAre(fs::path("--"), fs::path("a.php")));
  char* alone[] = {program};
  EXPECT_THAT(command_line_files(1, alone), IsEmpty());
  EXPECT_THAT(command_line_files(2, ended), IsEmpty());
}

double cell_height(PangoContext* context, const FontChoice& font) {
  PangoFontDescription* description = describe(font);
  PangoFontMetrics* metrics = pango_context_get_metrics(context, description, nullptr);
  const double cell = static_cast<double>(pango_font_metrics_get_ascent(metrics) +
                                          pango_font_metrics_get_descent(metrics)) /
                      PANGO_SCALE;
  pango_font_metrics_unref(metrics);
  pango_font_description_free(description);
  return cell;
}

// The family Pango draws the font with: fontconfig's substitute when the family is missing.
std::string drawn_family(PangoContext* context, const FontChoice& font) {
  PangoFontDescription* description = describe(font);
  PangoFont* loaded = pango_context_load_font(context, description);
  pango_font_description_free(description);
  if (loaded == nullptr) return "";
  PangoFontDescription* drawn = pango_font_describe(loaded);
  std::string family = pango_font_description_get_family(drawn);
  pango_font_description_free(drawn);
  g_object_unref(loaded);
  return family;
}

// Each face is the window's own or its metric look-alike, and installed itself: a family
// that fontconfig only stands in for would give the window another face's sizes.
TEST(Fonts, FacesAreTheWindowsOrTheirStandInsAndInstalled) {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  const Fonts fonts = load_fonts(context);
  EXPECT_THAT(fonts.body.family, ::testing::AnyOf("Verdana", "DejaVu Sans"));
  EXPECT_THAT(fonts.control.family, ::testing::AnyOf("Arial", "Liberation Sans"));
  for (const FontChoice& font : {fonts.title, fonts.body, fonts.control}) {
    EXPECT_EQ(drawn_family(context, font), font.family);
  }
  g_object_unref(context);
}

// The sizes put each font's character cell at the window's pixel heights, within the
// rounding to whole pixel sizes (metrics unhinted: hinting rounds ascent and descent up on
// their own); the title and body share their face.
TEST(Fonts, CellsHaveTheLayoutsHeights) {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  const Fonts fonts = load_fonts(context);
  namespace layout = app::layout;
  EXPECT_EQ(fonts.title.family, fonts.body.family);
  EXPECT_NEAR(cell_height(context, fonts.title), layout::kTitleFont.height, 1.0);
  EXPECT_NEAR(cell_height(context, fonts.body), layout::kBodyFont.height, 1.0);
  EXPECT_NEAR(cell_height(context, fonts.control), layout::kControlFont.height, 1.0);
  g_object_unref(context);
}

// GTK drops what it cannot parse with a warning only, and the window would lose its fonts.
TEST(Fonts, StyleSheetParsesWithFractionalSizes) {
  const Fonts fonts{{"DejaVu Sans", 25.5}, {"DejaVu Sans", 12.25}, {"Liberation Sans", 13}};
  const std::string sheet = style_sheet(fonts);
  EXPECT_NE(sheet.find("font-size: 25.500px"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("font-size: 12.250px"), std::string::npos) << sheet;
  GtkCssProvider* provider = gtk_css_provider_new();
  GError* error = nullptr;
  EXPECT_TRUE(gtk_css_provider_load_from_data(provider, sheet.c_str(), -1, &error))
      << (error != nullptr ? error->message : "");
  if (error != nullptr) g_error_free(error);
  g_object_unref(provider);
}

// The run's thread hands its requests to the thread that runs the main loop, in order, also
// when it posts them before the loop runs (a run started from the command line does).
TEST(UiThread, PostedTasksRunOnTheLoopsThreadInOrder) {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  const std::thread::id ui = std::this_thread::get_id();
  std::vector<int> ran;
  std::atomic<bool> on_ui{true};
  std::thread run([&] {
    for (int i = 0; i < 3; ++i) {
      post_to_ui([&, i] {
        on_ui = on_ui && std::this_thread::get_id() == ui;
        ran.push_back(i);
        if (i == 2) g_main_loop_quit(loop);
      });
    }
  });
  run.join();  // every task posted before the loop runs
  // A task that ran at once, on the posting thread, quit no loop: this one ends the wait.
  g_timeout_add_seconds(
      10, [](gpointer l) { return g_main_loop_quit(static_cast<GMainLoop*>(l)), G_SOURCE_REMOVE; },
      loop);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  EXPECT_TRUE(on_ui);
  EXPECT_THAT(ran, ElementsAre(0, 1, 2));
}

// Widgets drawn: these need a display (CTest runs them under xvfb-run as
// gtk_window_test.on_display) and are skipped where there is none. What a screen reader
// hears of the window is tested end to end (tests/e2e-gtk, through AT-SPI).
class OnDisplay : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { display_ = gtk_init_check(nullptr, nullptr); }
  void SetUp() override {
    if (!display_) GTEST_SKIP() << "no display";
  }
  // What the window draws, as bytes of an image of its size.
  static std::vector<unsigned char> drawn(GtkWidget* window, int width, int height) {
    while (gtk_events_pending()) gtk_main_iteration();
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(image);
    gtk_widget_draw(window, cr);
    cairo_destroy(cr);
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    std::vector<unsigned char> bytes(data, data + cairo_image_surface_get_stride(image) * height);
    cairo_surface_destroy(image);
    return bytes;
  }
  static bool display_;
};
bool OnDisplay::display_ = false;

// A paragraph draws each of its lines as a label holding that line alone, set the step apart,
// draws it: the same pixels, and something drawn at all.
TEST_F(OnDisplay, ParagraphDrawsEachLineAsALabelOfItsOwnWould) {
  const std::vector<std::string> lines{"Первая строка абзаца,", "вторая строка, длиннее первой,",
                                       "", "и четвёртая."};
  constexpr int kStep = 20;
  const auto window_of = [](GtkWidget* fixed, int width, int height) {
    GtkWidget* window = gtk_offscreen_window_new();
    gtk_widget_set_size_request(fixed, width, height);
    gtk_container_add(GTK_CONTAINER(window), fixed);
    gtk_widget_show_all(window);
    return window;
  };
  GtkWidget* paragraph = paragraph_new(lines, kStep);
  GtkWidget* one = gtk_fixed_new();
  gtk_fixed_put(GTK_FIXED(one), paragraph, 3, 5);
  int width = 0;
  gtk_widget_get_preferred_width(paragraph, nullptr, &width);
  const int height = static_cast<int>(lines.size()) * kStep + 10;
  GtkWidget* whole = window_of(one, width + 6, height);
  GtkWidget* apart = gtk_fixed_new();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    gtk_fixed_put(GTK_FIXED(apart), gtk_label_new(lines[i].c_str()), 3,
                  5 + static_cast<int>(i) * kStep);
  }
  GtkWidget* labels = window_of(apart, width + 6, height);
  const std::vector<unsigned char> want = drawn(labels, width + 6, height);
  EXPECT_EQ(drawn(whole, width + 6, height), want);
  GtkWidget* empty = window_of(gtk_fixed_new(), width + 6, height);
  EXPECT_NE(drawn(empty, width + 6, height), want);
  // Read as one text, the lines as printed.
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(paragraph)),
               "Первая строка абзаца,\nвторая строка, длиннее первой,\n\nи четвёртая.");
  for (GtkWidget* w : {whole, labels, empty}) gtk_widget_destroy(w);
}

}  // namespace
}  // namespace orven::gtk
