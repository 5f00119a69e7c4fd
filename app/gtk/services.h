// The three services of a run in the GTK window. The run works on a thread of its own; each
// service hands its request to the UI thread and waits there for the answer: GTK's open
// dialog, a message box with one OK button, and opening a file through the desktop.
#pragma once

#include <functional>

#include "app/gtk/main_window.h"
#include "app/run_sequence.h"

namespace orven::gtk {

// Runs task on the UI thread (GLib's default main context) and returns at once.
void post_to_ui(std::function<void()> task);

class GtkServices : public app::Services {
 public:
  explicit GtkServices(MainWindow& window) : window_(window) {}

  // «Открыть», starting in the current directory with the six filters, "XHTML" selected. A
  // chosen file's folder becomes the current directory, as the Windows dialog leaves it, so
  // the outputs land beside the input; cancelling changes nothing.
  std::vector<std::filesystem::path> choose_file() override;

  // A message box over the main window, which stays usable while it is shown; returns when
  // the box was dismissed (OK, Return, Escape or its close box).
  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override;

  // Hands the file to the desktop (xdg-open and its kin) and returns at once.
  void open_document(const std::filesystem::path& file) override;

 private:
  MainWindow& window_;
};

}  // namespace orven::gtk
