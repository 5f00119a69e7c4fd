#include "app/fltk/open_dialog.h"

#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <clocale>
#include <cstring>
#include <string>

namespace orven::fltk {
namespace {

namespace fs = std::filesystem;

// GTK asks for a transient parent of its own kind, which an FLTK window cannot be; the
// transient link is made on the X windows instead, so its warning says nothing here.
void drop_parent_warning(const gchar* domain, GLogLevelFlags level, const gchar* message,
                         gpointer) {
  if (std::strstr(message, "without a transient parent") != nullptr) return;
  g_log_default_handler(domain, level, message, nullptr);
}

struct Answer {
  gint response = GTK_RESPONSE_NONE;
};

void on_response(GtkDialog*, gint response, gpointer answer) {
  static_cast<Answer*>(answer)->response = response;
}

// The main window's events while the dialog is open: repaints happen (FLTK handles exposure
// apart from dispatch), input and the close box are dropped.
int no_input(int, Fl_Window*) {
  return 0;
}

// GTK's chooser sizes itself on mapping, larger than the main window and than small
// screens; this size, centred over the main window, sits on it as a dialog does on Windows.
void fit_over(GtkWidget* dialog, gpointer owner_window) {
  constexpr gint kWidth = 700;
  constexpr gint kHeight = 500;
  const auto* owner = static_cast<const Fl_Window*>(owner_window);
  gtk_window_resize(GTK_WINDOW(dialog), kWidth, kHeight);
  gtk_window_move(GTK_WINDOW(dialog), owner->x() + (owner->w() - kWidth) / 2,
                  owner->y() + (owner->h() - kHeight) / 2);
}

gboolean fltk_events(gint, GIOCondition, gpointer) {
  Fl::check();
  return G_SOURCE_CONTINUE;
}

// The program keeps the "C" locale; GTK's own texts (buttons, columns, places) follow the
// user's language, so the locale from the environment holds while the dialog is built and
// shown, as the system dialog on Windows speaks the system's language.
class UserLocale {
 public:
  UserLocale() : previous_(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, ""); }
  ~UserLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  UserLocale(const UserLocale&) = delete;
  UserLocale& operator=(const UserLocale&) = delete;

 private:
  std::string previous_;
};

}  // namespace

bool gtk_dialog_available() {
  static const bool available = [] {
    gtk_disable_setlocale();
    // The FLTK window is an X11 one, and only another X11 window can be its transient.
    gdk_set_allowed_backends("x11");
    g_log_set_handler("Gtk", G_LOG_LEVEL_MESSAGE, &drop_parent_warning, nullptr);
    return gtk_init_check(nullptr, nullptr) != FALSE;
  }();
  return available;
}

std::optional<fs::path> gtk_open_dialog(const OpenRequest& request, Fl_Window& owner) {
  const UserLocale locale;
  // GTK's own translations of the two buttons.
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      request.title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, g_dgettext("gtk30", "_Cancel"),
      GTK_RESPONSE_CANCEL, g_dgettext("gtk30", "_Open"), GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  for (const DialogFilter& f : request.filters) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, f.name.c_str());
    gtk_file_filter_add_pattern(filter, f.pattern.c_str());
    gtk_file_chooser_add_filter(chooser, filter);  // takes the filter over
    if (gtk_file_chooser_get_filter(chooser) == nullptr)
      gtk_file_chooser_set_filter(chooser, filter);
  }
  if (!request.folder.empty()) gtk_file_chooser_set_current_folder(chooser, request.folder.c_str());

  // The transient link is set before the dialog is mapped, when a window manager reads it.
  gtk_widget_realize(dialog);
  GdkWindow* window = gtk_widget_get_window(dialog);
  GdkWindow* parent =
      gdk_x11_window_foreign_new_for_display(gdk_window_get_display(window), fl_xid(&owner));
  if (parent != nullptr) {
    gdk_window_set_transient_for(window, parent);
    g_object_unref(parent);
  }
  gdk_window_set_modal_hint(window, TRUE);
  g_signal_connect_after(dialog, "map", G_CALLBACK(fit_over), &owner);

  Answer answer;
  g_signal_connect(dialog, "response", G_CALLBACK(on_response), &answer);
  // Escape and the close box answer too; the dialog is then hidden, not destroyed under us.
  g_signal_connect(dialog, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
  const Fl_Event_Dispatch previous = Fl::event_dispatch();
  Fl::event_dispatch(&no_input);
  const guint fltk_source =
      g_unix_fd_add(ConnectionNumber(fl_display), G_IO_IN, &fltk_events, nullptr);
  // Raised as well as shown: without a window manager nothing else puts it on top.
  gtk_window_present(GTK_WINDOW(dialog));
  while (answer.response == GTK_RESPONSE_NONE) {
    while (Fl::ready()) Fl::check();  // what FLTK's connection has read already
    gtk_main_iteration();
  }
  g_source_remove(fltk_source);
  Fl::event_dispatch(previous);

  std::optional<fs::path> chosen;
  if (answer.response == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
      chosen = fs::path(name);
      g_free(name);
    }
  }
  gtk_widget_destroy(dialog);
  while (gtk_events_pending()) gtk_main_iteration();
  return chosen;
}

}  // namespace orven::fltk
