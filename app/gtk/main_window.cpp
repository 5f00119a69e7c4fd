#include "app/gtk/main_window.h"

#include <map>
#include <string_view>
#include <utility>

#include "app/digit_columns.h"
#include "app/display_text.h"
#include "app/gtk/accessible.h"
#include "app/gtk/services.h"
#include "app/mode_entries.h"
#include "app/window_layout.h"
#include "texts/window.h"

namespace orven::gtk {
namespace {

namespace fs = std::filesystem;
namespace w = texts::window;
namespace layout = app::layout;

constexpr int kClientWidth = 794;  // what an 800 x 600 window with a fixed frame leaves
constexpr int kClientHeight = 571;
constexpr int kModeListHeight = 24;  // the closed list; its 150 pixels include the drop-down

void set_rgb(cairo_t* cr, layout::Rgb c) {
  cairo_set_source_rgb(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
}

void add_class(GtkWidget* widget, const char* name) {
  gtk_style_context_add_class(gtk_widget_get_style_context(widget), name);
}

GtkWidget* button(GtkWidget* fixed, std::string_view label, const layout::Control& place) {
  GtkWidget* b = gtk_button_new_with_label(app::to_utf8(label).c_str());
  add_class(b, "orven-control");
  gtk_widget_set_size_request(b, place.width, place.height);
  gtk_fixed_put(GTK_FIXED(fixed), b, place.x, place.y);
  return b;
}

void message_answered(GtkDialog* box, gint, gpointer on_answer) {
  (*static_cast<std::function<void(GtkDialog*)>*>(on_answer))(box);
}

void forget_message_answer(gpointer on_answer, GClosure*) {
  delete static_cast<std::function<void(GtkDialog*)>*>(on_answer);
}

}  // namespace

std::vector<fs::path> local_paths(const gchar* const* uris) {
  std::vector<fs::path> paths;
  for (; uris != nullptr && *uris != nullptr; ++uris) {
    gchar* host = nullptr;
    gchar* name = g_filename_from_uri(*uris, &host, nullptr);
    // A name on another machine is no file here, whatever this machine holds under it.
    const bool local = host == nullptr || g_ascii_strcasecmp(host, "localhost") == 0 ||
                       g_ascii_strcasecmp(host, g_get_host_name()) == 0;
    if (name != nullptr && local) paths.emplace_back(name);
    g_free(name);
    g_free(host);
  }
  return paths;
}

MainWindow::MainWindow() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(window(), app::to_utf8(w::kCaption).c_str());
  gtk_window_set_resizable(window(), FALSE);

  fonts_ = load_fonts(gtk_widget_get_pango_context(window_));
  GtkCssProvider* style = gtk_css_provider_new();
  const std::string sheet = style_sheet(fonts_);
  gtk_css_provider_load_from_data(style, sheet.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window_),
                                            GTK_STYLE_PROVIDER(style),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(style);

  GtkWidget* fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window_), fixed);
  GtkWidget* panel = gtk_drawing_area_new();
  gtk_widget_set_size_request(panel, kClientWidth, kClientHeight);
  g_signal_connect(panel, "draw", G_CALLBACK(draw_panel), this);
  gtk_fixed_put(GTK_FIXED(fixed), panel, 0, 0);

  // The introduction is read a paragraph at a time, as a paragraph's label each; the lines
  // stay where they are printed.
  std::vector<GtkWidget*> paragraphs;
  for (const layout::IntroParagraph& p : layout::kIntroParagraphs) {
    const layout::IntroPlace& place = layout::kIntroPlaces[p.first];
    std::vector<std::string> lines;
    for (std::size_t i = p.first; i < p.first + p.count; ++i) {
      lines.push_back(app::to_utf8(w::kIntroLines[i]));
    }
    GtkWidget* paragraph = paragraph_new(lines, layout::kIntroLineStep);
    add_class(paragraph, place.title ? "orven-title" : "orven-body");
    gtk_fixed_put(GTK_FIXED(fixed), paragraph, place.x, place.y);
    paragraphs.push_back(paragraph);
  }

  next_ = button(fixed, w::kNextButton, layout::kNextButton);
  exit_ = button(fixed, w::kExitButton, layout::kExitButton);
  modes_ = mode_list_new();
  // The question is read with the answer.
  tie_label(paragraphs[layout::kModeListLabel], modes_);
  for (const std::string_view item : w::kModeItems) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(modes_), app::to_utf8(item).c_str());
  }
  gtk_combo_box_set_active(GTK_COMBO_BOX(modes_), 0);
  add_class(modes_, "orven-control");
  gtk_widget_set_size_request(modes_, layout::kModeList.width, kModeListHeight);
  gtk_fixed_put(GTK_FIXED(fixed), modes_, layout::kModeList.x, layout::kModeList.y);

  // Return anywhere but on «Выход» presses «Далее».
  gtk_widget_set_can_default(next_, TRUE);
  gtk_window_set_default(window(), next_);
  g_signal_connect_swapped(next_, "clicked", G_CALLBACK(+[](MainWindow* self) {
                             self->start_run(gtk_combo_box_get_active(GTK_COMBO_BOX(self->modes_)));
                           }),
                           this);
  g_signal_connect_swapped(exit_, "clicked", G_CALLBACK(+[](MainWindow* self) { self->quit(); }),
                           this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(key_pressed), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(close_box), this);

  // The icon and the drop target come once the window is on the screen: GTK looks an icon's
  // name up in every folder of the icon theme, and its drop target for files asks the session
  // bus for the document portal and waits for the answer. Nothing can be dropped on a window
  // before it shows, and the icon only names it in the window list.
  g_signal_connect_after(window_, "draw", G_CALLBACK(first_drawn), this);
}

MainWindow::~MainWindow() {
  if (finish_start_ != 0) g_source_remove(finish_start_);
  if (run_.joinable()) run_.join();
  gtk_widget_destroy(window_);
}

gboolean MainWindow::first_drawn(GtkWidget* window, cairo_t*, gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(&first_drawn), self);
  // After the frame: an idle source runs once the paint is done and on the screen.
  self->finish_start_ = g_idle_add(
      +[](gpointer data) {
        static_cast<MainWindow*>(data)->finish_start();
        return G_SOURCE_REMOVE;
      },
      self);
  return FALSE;
}

void MainWindow::finish_start() {
  finish_start_ = 0;
  gtk_window_set_icon_name(window(), "orven");
  // Files and folders dropped from a file manager.
  gtk_drag_dest_set(window_, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
  gtk_drag_dest_add_uri_targets(window_);
  g_signal_connect(window_, "drag-data-received", G_CALLBACK(dropped), this);
}

void MainWindow::show() {
  gtk_widget_show_all(window_);
  // The mode list's accessible is made now, not when a screen reader first asks: it connects
  // the focus handlers that tell of the list's focus, and the first focus is given next.
  gtk_widget_get_accessible(modes_);
  gtk_widget_grab_focus(modes_);
}

gboolean MainWindow::draw_panel(GtkWidget* area, cairo_t* cr, gpointer data) {
  const auto* self = static_cast<MainWindow*>(data);
  const int height = gtk_widget_get_allocated_height(area);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  set_rgb(cr, layout::kPanelColour);
  cairo_rectangle(cr, 0, 0, layout::kPanelRight + 1, height);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, layout::kPanelLineX, 0, 1, height);
  cairo_fill(cr);

  // A fresh seed on every paint: paints within one second draw the same columns. Pango lays
  // a line out from the top of its cell, where the digit rows stand. Each of the few texts
  // (the two digits, the tails) is shaped once per paint and shown where it stands.
  cairo_set_source_rgb(cr, 1, 1, 1);
  PangoFontDescription* font = describe(self->fonts_.body);
  std::map<std::string_view, PangoLayout*> shaped;
  const auto show = [&](std::string_view text, int x, int y) {
    PangoLayout*& layout = shaped[text];
    if (layout == nullptr) {
      layout = pango_cairo_create_layout(cr);
      pango_layout_set_font_description(layout, font);
      const std::string utf8 = app::to_utf8(text);
      pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    }
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
  };
  const auto rows = app::digit_columns(app::paint_seed());
  for (int r = 0; r < app::kDigitRows; ++r) {
    const int top = r * app::kDigitRowHeight;
    for (std::size_t c = 0; c < app::kDigitColumnX.size(); ++c) {
      show(std::string_view(&rows[r].digits[c], 1), app::kDigitColumnX[c], top);
    }
    show(rows[r].tail, app::kDigitTailX, top);
  }
  for (const auto& [text, layout] : shaped) g_object_unref(layout);
  pango_font_description_free(font);
  return FALSE;
}

gboolean MainWindow::key_pressed(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<MainWindow*>(data);
  switch (event->keyval) {
    case GDK_KEY_Escape:
      gtk_button_clicked(GTK_BUTTON(self->exit_));
      return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: {
      // The list would open its drop-down; Return on it means «Далее», as in a dialog.
      GtkWidget* focus = gtk_window_get_focus(self->window());
      if (focus != nullptr &&
          (focus == self->modes_ || gtk_widget_is_ancestor(focus, self->modes_))) {
        gtk_button_clicked(GTK_BUTTON(self->next_));
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

gboolean MainWindow::close_box(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<MainWindow*>(self)->quit();
  return TRUE;  // the window is hidden by quit, and destroyed with the MainWindow
}

void MainWindow::dropped(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint,
                         guint, gpointer self) {
  gchar** uris = gtk_selection_data_get_uris(data);
  const std::vector<fs::path> paths = local_paths(uris);
  g_strfreev(uris);
  if (!paths.empty()) static_cast<MainWindow*>(self)->drop(paths);
}

std::vector<fs::path> command_line_files(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (i == 1 && std::string_view(argv[i]) == "--") continue;
    files.emplace_back(argv[i]);
  }
  return files;
}

bool MainWindow::drop(const std::vector<fs::path>& paths) {
  return start_run(gtk_combo_box_get_active(GTK_COMBO_BOX(modes_)), paths);
}

bool MainWindow::start_run(int mode_index, std::vector<fs::path> paths) {
  if (running_ || quitting_) return false;
  if (run_.joinable()) run_.join();
  running_ = true;
  set_busy(true);
  run_ = std::thread([this, mode_index, paths = std::move(paths)]() mutable {
    GtkServices services(*this);
    try {
      if (paths.empty()) {
        app::perform_run(mode_index, services, app::kModeEntries);
      } else {
        app::perform_run_on(mode_index, std::move(paths), services, app::kModeEntries);
      }
    } catch (...) {
      // The run sequence has released its workspace; the window goes on.
    }
    post_to_ui([this] { finish_run(); });
  });
  return true;
}

void MainWindow::finish_run() {
  if (run_.joinable()) run_.join();
  running_ = false;
  set_busy(false);
  if (quitting_) gtk_main_quit();
}

void MainWindow::ask_file(const OpenRequest& request, OpenAnswer answer) {
  if (quitting_) {
    answer(std::nullopt);
    return;
  }
  dialog_ = open_dialog(request, window(),
                        [this, answer = std::move(answer)](std::optional<fs::path> chosen) {
                          dialog_ = nullptr;
                          answer(std::move(chosen));
                        });
}

void MainWindow::tell(const std::string& caption, const std::string& text,
                      app::Services::MessageKind kind, std::function<void()> dismissed) {
  if (quitting_) {
    dismissed();
    return;
  }
  GtkWidget* box = gtk_message_dialog_new(
      window(), GTK_DIALOG_DESTROY_WITH_PARENT,
      kind == app::Services::MessageKind::info ? GTK_MESSAGE_INFO : GTK_MESSAGE_ERROR,
      GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
  // A screen reader names the box by its caption, not by GTK's word for the message type.
  atk_object_set_name(gtk_widget_get_accessible(box), caption.c_str());
  gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  message_ = box;
  message_dismissed_ = std::move(dismissed);
  // OK, Return, Escape and the close box all answer; the box is gone before the run goes on.
  auto* on_answer = new std::function<void(GtkDialog*)>([this](GtkDialog* answered) {
    message_ = nullptr;
    std::function<void()> call = std::exchange(message_dismissed_, nullptr);
    gtk_widget_destroy(GTK_WIDGET(answered));
    if (call) call();
  });
  g_signal_connect_data(box, "response", G_CALLBACK(message_answered), on_answer,
                        &forget_message_answer, GConnectFlags{});
  gtk_window_present(GTK_WINDOW(box));
}

void MainWindow::set_busy(bool busy) {
  GdkWindow* window = gtk_widget_get_window(window_);
  if (window == nullptr) return;
  GdkCursor* cursor =
      busy ? gdk_cursor_new_from_name(gdk_window_get_display(window), "wait") : nullptr;
  gdk_window_set_cursor(window, cursor);
  if (cursor != nullptr) g_object_unref(cursor);
}

void MainWindow::quit() {
  if (quitting_) return;
  quitting_ = true;
  if (dialog_ != nullptr) gtk_dialog_response(GTK_DIALOG(dialog_), GTK_RESPONSE_CANCEL);
  if (message_ != nullptr) gtk_dialog_response(GTK_DIALOG(message_), GTK_RESPONSE_OK);
  gtk_widget_hide(window_);
  if (!running_) gtk_main_quit();
}

}  // namespace orven::gtk
