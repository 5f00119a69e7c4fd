#include "app/gtk/open_dialog.h"

#include <utility>

namespace orven::gtk {
namespace {

namespace fs = std::filesystem;

// GTK's chooser sizes itself on mapping from what it last saved, larger than the main window
// and than small screens; this size, centred over the main window, sits on it as a dialog
// does on Windows. Where windows are not placed by the program (Wayland), the compositor
// centres a modal transient over its parent by itself.
void fit_over(GtkWidget* dialog, gpointer) {
  constexpr gint kWidth = 700;
  constexpr gint kHeight = 500;
  GtkWindow* owner = gtk_window_get_transient_for(GTK_WINDOW(dialog));
  gtk_window_resize(GTK_WINDOW(dialog), kWidth, kHeight);
  if (owner == nullptr) return;
  gint x = 0, y = 0, width = 0, height = 0;
  gtk_window_get_position(owner, &x, &y);
  gtk_window_get_size(owner, &width, &height);
  gtk_window_move(GTK_WINDOW(dialog), x + (width - kWidth) / 2, y + (height - kHeight) / 2);
}

void on_response(GtkDialog* dialog, gint response, gpointer data) {
  auto* answer = static_cast<OpenAnswer*>(data);
  std::optional<fs::path> chosen;
  if (response == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
      chosen = fs::path(name);
      g_free(name);
    }
  }
  // Answered once: a later response (the dialog being destroyed) finds nothing to call.
  OpenAnswer call = std::exchange(*answer, nullptr);
  gtk_widget_destroy(GTK_WIDGET(dialog));
  if (call) call(std::move(chosen));
}

void forget_answer(gpointer data, GClosure*) {
  delete static_cast<OpenAnswer*>(data);
}

}  // namespace

GtkWidget* open_dialog(const OpenRequest& request, GtkWindow* owner, OpenAnswer answer) {
  // GTK's own translations of the two buttons.
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      request.title.c_str(), owner, GTK_FILE_CHOOSER_ACTION_OPEN, g_dgettext("gtk30", "_Cancel"),
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
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  g_signal_connect_after(dialog, "map", G_CALLBACK(fit_over), nullptr);
  // Escape and the close box answer too (GTK_RESPONSE_DELETE_EVENT), and so does the
  // dialog's destruction with its parent.
  g_signal_connect_data(dialog, "response", G_CALLBACK(on_response),
                        new OpenAnswer(std::move(answer)), &forget_answer, GConnectFlags{});
  // Raised as well as shown: without a window manager nothing else puts it on top.
  gtk_window_present(GTK_WINDOW(dialog));
  return dialog;
}

}  // namespace orven::gtk
