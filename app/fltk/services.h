// The three services of a run on FLTK: GTK's open dialog (FLTK's own chooser when GTK cannot
// start or FLTK's options turn GTK's dialogs off), a message box of our own with one OK
// button and no owner, and opening a file through the desktop.
#pragma once

#include "app/fltk/fl.h"
#include "app/fltk/fonts.h"
#include "app/run_sequence.h"

namespace orven::fltk {

class FltkServices : public app::Services {
 public:
  // The dialog is a transient of owner, a shown window.
  FltkServices(const FontChoice& font, Fl_Window& owner) : font_(font), owner_(owner) {}

  // «Открыть», starting in the current directory with the six filters, "XHTML" selected. A
  // chosen
  // file's folder becomes the current directory, as the Windows dialog leaves it, so the
  // outputs land beside the input; cancelling changes nothing.
  std::vector<std::filesystem::path> choose_file() override;

  // Like a message box without an owner: the main window stays usable while it is shown,
  // and this returns when the box was dismissed (OK, Return, Escape or its close box).
  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override;

  // Hands the file to the desktop (xdg-open and its kin) and returns at once.
  void open_document(const std::filesystem::path& file) override;

 private:
  FontChoice font_;
  Fl_Window& owner_;
};

}  // namespace orven::fltk
