#include "app/gtk/accessible.h"

#include <gtk/gtk-a11y.h>

namespace orven::gtk {
namespace {

// The button a combo box without an entry takes the keyboard focus with: an internal
// descendant (in a box of the combo's template), which gtk_container_forall reaches and the
// accessibility tree never shows.
GtkWidget* focus_button(GtkWidget* widget) {
  if (GTK_IS_TOGGLE_BUTTON(widget)) return widget;
  GtkWidget* found = nullptr;
  if (GTK_IS_CONTAINER(widget)) {
    gtk_container_forall(
        GTK_CONTAINER(widget),
        +[](GtkWidget* child, gpointer found) {
          auto* button = static_cast<GtkWidget**>(found);
          if (*button == nullptr) *button = focus_button(child);
        },
        &found);
  }
  return found;
}

// The mode list's accessible: GTK's combo box accessible, with the focus states of the
// button inside it, as a focusable widget of its own reports them.
struct ModeListAccessible {
  GtkComboBoxAccessible parent;
};
struct ModeListAccessibleClass {
  GtkComboBoxAccessibleClass parent_class;
};
G_DEFINE_TYPE(ModeListAccessible, mode_list_accessible, GTK_TYPE_COMBO_BOX_ACCESSIBLE)

gboolean focus_changed(GtkWidget*, GdkEventFocus* event, gpointer accessible) {
  atk_object_notify_state_change(ATK_OBJECT(accessible), ATK_STATE_FOCUSED, event->in != 0);
  return FALSE;
}

void mode_list_accessible_initialize(AtkObject* accessible, gpointer combo) {
  ATK_OBJECT_CLASS(mode_list_accessible_parent_class)->initialize(accessible, combo);
  // A screen reader learns of the focus coming and going as it does for a button; the
  // handlers go with the accessible.
  if (GtkWidget* button = focus_button(GTK_WIDGET(combo)); button != nullptr) {
    g_signal_connect_object(button, "focus-in-event", G_CALLBACK(focus_changed), accessible,
                            GConnectFlags{});
    g_signal_connect_object(button, "focus-out-event", G_CALLBACK(focus_changed), accessible,
                            GConnectFlags{});
  }
}

AtkStateSet* mode_list_accessible_ref_state_set(AtkObject* accessible) {
  AtkStateSet* states =
      ATK_OBJECT_CLASS(mode_list_accessible_parent_class)->ref_state_set(accessible);
  GtkWidget* combo = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
  GtkWidget* button = combo != nullptr ? focus_button(combo) : nullptr;  // none once destroyed
  if (button != nullptr && gtk_widget_get_can_focus(button)) {
    atk_state_set_add_state(states, ATK_STATE_FOCUSABLE);
    if (gtk_widget_has_focus(button)) atk_state_set_add_state(states, ATK_STATE_FOCUSED);
  }
  return states;
}

void mode_list_accessible_class_init(ModeListAccessibleClass* type) {
  AtkObjectClass* object = ATK_OBJECT_CLASS(type);
  object->initialize = mode_list_accessible_initialize;
  object->ref_state_set = mode_list_accessible_ref_state_set;
}

void mode_list_accessible_init(ModeListAccessible*) {}

struct ModeList {
  GtkComboBoxText parent;
};
struct ModeListClass {
  GtkComboBoxTextClass parent_class;
};
G_DEFINE_TYPE(ModeList, mode_list, GTK_TYPE_COMBO_BOX_TEXT)

void mode_list_class_init(ModeListClass* type) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(type), mode_list_accessible_get_type());
}

void mode_list_init(ModeList*) {}

// A paragraph's printed lines, kept with its label.
struct Paragraph {
  std::vector<std::string> lines;
  int line_step;
};

// Draws each line as gtk_label draws a label of one line given its natural size: the
// layout's logical rectangle at the allocation's top-left corner, in the label's style.
gboolean draw_lines(GtkWidget* label, cairo_t* cr, gpointer data) {
  const auto* paragraph = static_cast<const Paragraph*>(data);
  GtkStyleContext* style = gtk_widget_get_style_context(label);
  int top = 0;
  for (const std::string& line : paragraph->lines) {
    PangoLayout* layout = gtk_widget_create_pango_layout(label, line.c_str());
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    gtk_render_layout(style, cr, -logical.x, top - logical.y, layout);
    g_object_unref(layout);
    top += paragraph->line_step;
  }
  return TRUE;  // the label's own drawing, which would set the lines a font's height apart
}

}  // namespace

GtkWidget* mode_list_new() {
  return GTK_WIDGET(g_object_new(mode_list_get_type(), nullptr));
}

GtkWidget* paragraph_new(const std::vector<std::string>& lines, int line_step) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  GtkWidget* label = gtk_label_new(text.c_str());
  auto* paragraph = new Paragraph{lines, line_step};
  g_object_set_data_full(
      G_OBJECT(label), "orven-paragraph", paragraph,
      +[](gpointer p) { delete static_cast<Paragraph*>(p); });
  g_signal_connect(label, "draw", G_CALLBACK(draw_lines), paragraph);
  // Tall enough for every line: a line's cell is shorter than the step.
  gtk_widget_set_size_request(label, -1, static_cast<int>(lines.size()) * line_step);
  return label;
}

void tie_label(GtkWidget* label, GtkWidget* control) {
  AtkObject* label_accessible = gtk_widget_get_accessible(label);
  AtkObject* control_accessible = gtk_widget_get_accessible(control);
  atk_object_add_relationship(control_accessible, ATK_RELATION_LABELLED_BY, label_accessible);
  atk_object_add_relationship(label_accessible, ATK_RELATION_LABEL_FOR, control_accessible);
}

}  // namespace orven::gtk
