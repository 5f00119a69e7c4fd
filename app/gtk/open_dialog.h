// The open-file dialog of the window on Linux: GTK 3's file chooser with the Windows dialog's
// title and filters and nothing else, a modal transient of the main window, which takes no
// input while the dialog is open but goes on repainting (a Windows owner window is disabled
// the same way). It answers through a callback, so the event loop never nests.
#pragma once

#include <gtk/gtk.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orven::gtk {

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

using OpenAnswer = std::function<void(std::optional<std::filesystem::path>)>;

// Shows the dialog and returns at once; answer gets the chosen file, or nothing when the
// dialog was cancelled or closed, and runs once the dialog is gone. The dialog is returned,
// so that gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL) can close it from outside.
GtkWidget* open_dialog(const OpenRequest& request, GtkWindow* owner, OpenAnswer answer);

}  // namespace orven::gtk
