// orven: the desktop window on Linux (GTK 3, on X11 or Wayland, whichever GDK finds). Files
// named on the command line ("Open with" in a file manager) are run through training mode at
// once, as if chosen in the dialog. Without a display it says so in one line, points to
// orven-cli and ends with status 1. --help and --version print to standard output, no window.
#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/display_text.h"
#include "app/gtk/main_window.h"
#include "base/platform.h"
#include "texts/messages.h"
#include "texts/product.h"

namespace {

// --help and --version answer on standard output and end the program, before any display is
// needed; an argument after "--" is a file. -1: neither was asked for.
int answer_option(int argc, char** argv) {
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    const std::string_view a = argv[i];
    std::string_view text;
    if (a == "--help" || a == "-h") text = orven::texts::messages::kWindowHelp;
    if (a == "--version") text = orven::texts::kVersionLine;
    if (text.empty()) continue;
    const std::string line = orven::app::to_utf8(text) + (text.ends_with('\n') ? "" : "\n");
    return orven::platform::write_stdout(line) ? 0 : 1;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = answer_option(argc, argv); status >= 0) return status;
  // The window's class and application id, whatever name the program was started by.
  g_set_prgname("orven");
  gdk_set_program_class("orven");
  // Pango's font map reads fontconfig's configuration and caches on a thread of its own from
  // the moment it exists; made now, that work runs beside GTK's start-up (the display, the
  // theme) instead of holding up the window's first text.
  pango_cairo_font_map_get_default();
  if (!gtk_init_check(&argc, &argv)) {
    const std::string line = orven::app::to_utf8(orven::texts::messages::kNoDisplay) + "\n";
    std::fputs(line.c_str(), stderr);
    return 1;
  }
  // GTK took the user's locale for its own texts (the dialog's buttons and places); numbers
  // keep the classic form everywhere.
  std::setlocale(LC_NUMERIC, "C");

  std::vector<std::filesystem::path> files = orven::gtk::command_line_files(argc, argv);
  orven::gtk::MainWindow window;
  window.show();
  // Training, as if the files were chosen in the dialog.
  if (!files.empty()) window.start_run(0, std::move(files));
  gtk_main();
  return 0;
}
