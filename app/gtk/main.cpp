// orven: the desktop window on Linux (GTK 3, on X11 or Wayland, whichever GDK finds). Files
// named on the command line ("Open with" in a file manager) are run through training mode at
// once, as if chosen in the dialog. Without a display it says so in one line, points to
// orven-cli and ends with status 1.
#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/display_text.h"
#include "app/gtk/main_window.h"
#include "texts/messages.h"

int main(int argc, char** argv) {
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
