// The main window on GTK 3: a fixed 794 x 571 client area (GtkFixed at the places of
// app/window_layout.h) with the blue panel and its digit columns drawn by cairo, the
// introduction lines as labels, the mode list and the two buttons. "Далее", a drop of files
// and folders, or files named on the command line start one run of the shared run sequence
// on a thread of its own, so the window keeps repainting (with a busy cursor while the mode
// works); the run asks the window for the dialog and the messages (services.h). "Выход",
// Escape and the close box end the program with status 0, once a run under way is over.
#pragma once

#include <gtk/gtk.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/gtk/fonts.h"
#include "app/gtk/open_dialog.h"
#include "app/run_sequence.h"

namespace orven::gtk {

class MainWindow {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void show();
  GtkWindow* window() const { return GTK_WINDOW(window_); }

  // Starts a run in the given mode (the mode list's index) on the paths, or through the
  // dialog when there are none. False, and nothing starts, while a run is under way or the
  // program is ending.
  bool start_run(int mode_index, std::vector<std::filesystem::path> paths = {});
  // What a drop of text/uri-list does: a run of the selected mode on the local files.
  bool drop(const std::vector<std::filesystem::path>& paths);
  bool running() const { return running_; }

  // For the run, on the UI thread. Each answers exactly once, at once when the program is
  // ending.
  void ask_file(const OpenRequest& request, OpenAnswer answer);
  void tell(const std::string& caption, const std::string& text, app::Services::MessageKind kind,
            std::function<void()> dismissed);
  void set_busy(bool busy);

  // Hides the window and ends the event loop, after the run under way: a dialog or message
  // it shows is answered as cancelled or dismissed, and its last steps are let finish.
  void quit();

 private:
  static gboolean draw_panel(GtkWidget* area, cairo_t* cr, gpointer self);
  static gboolean key_pressed(GtkWidget* window, GdkEventKey* event, gpointer self);
  static gboolean close_box(GtkWidget* window, GdkEvent* event, gpointer self);
  static gboolean first_drawn(GtkWidget* window, cairo_t* cr, gpointer self);
  // What the first frame goes without: the window's icon and the drop target.
  void finish_start();
  static void dropped(GtkWidget* widget, GdkDragContext* context, gint x, gint y,
                      GtkSelectionData* data, guint info, guint time, gpointer self);
  void finish_run();

  GtkWidget* window_ = nullptr;
  GtkWidget* modes_ = nullptr;
  GtkWidget* next_ = nullptr;
  GtkWidget* exit_ = nullptr;
  GtkWidget* dialog_ = nullptr;   // the open dialog while it is shown
  GtkWidget* message_ = nullptr;  // the message box while it is shown
  std::function<void()> message_dismissed_;
  guint finish_start_ = 0;  // the idle source that calls finish_start
  Fonts fonts_{};
  bool running_ = false;
  bool quitting_ = false;
  std::thread run_;
};

// The local files of a text/uri-list (file:// URIs of this machine; anything else is left
// out), in order.
std::vector<std::filesystem::path> local_paths(const gchar* const* uris);

// The files named on the command line, as gtk_init left it: every argument after the
// program's name, after an optional "--" that ends GTK's options.
std::vector<std::filesystem::path> command_line_files(int argc, char** argv);

}  // namespace orven::gtk
