// The open-file dialog of the window on Linux: GTK 3's file chooser with the Windows dialog's
// title and filters and nothing else, a transient of the main window, which takes no input
// while the dialog is open but goes on repainting (a Windows owner window is disabled the
// same way).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/fltk/fl.h"

namespace orven::fltk {

// Texts are UTF-8.
struct DialogFilter {
  std::string name;
  std::string pattern;
};
struct OpenRequest {
  std::string title;
  std::vector<DialogFilter> filters;  // the first one is selected
  std::filesystem::path folder;       // where the dialog starts
};

// False when GTK cannot start on the display; the caller then uses FLTK's own chooser.
bool gtk_dialog_available();

// The chosen file, or nothing when the dialog was cancelled or closed. Needs
// gtk_dialog_available(); owner is a shown window.
std::optional<std::filesystem::path> gtk_open_dialog(const OpenRequest& request, Fl_Window& owner);

}  // namespace orven::fltk
