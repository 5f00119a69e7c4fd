// orven: the desktop window on Linux (FLTK 1.3 on X11). It takes no arguments. Without a
// display it says so in one line, points to orven-cli and ends with status 1.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/display_text.h"
#include "app/fltk/fl.h"
#include "app/fltk/fonts.h"
#include "app/fltk/main_window.h"
#include "app/fltk/window_names.h"
#include "texts/messages.h"

namespace {

[[noreturn]] void no_display() {
  const std::string line = orven::app::to_utf8(orven::texts::messages::kNoDisplay) + "\n";
  std::fputs(line.c_str(), stderr);
  std::exit(1);
}

// FLTK reports a display it cannot open as a fatal error; ours is the one line above.
void display_failed(const char*, ...) {
  no_display();
}

}  // namespace

int main() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') no_display();
  void (*fatal)(const char*, ...) = Fl::fatal;
  Fl::fatal = &display_failed;
  fl_open_display();
  Fl::fatal = fatal;

  Fl::scheme("gtk+");
  // Every window of ours (FLTK's own file chooser included) carries the program's class.
  Fl_Window::default_xclass("orven");
  const orven::fltk::Fonts fonts = orven::fltk::load_fonts();
  orven::fltk::MainWindow window(fonts);
  window.show();
  orven::fltk::set_legacy_names(window);
  return Fl::run();
}
