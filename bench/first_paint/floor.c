/* The floor of the window's first paint on GTK 3: a bare "hello" window of class "orven",
 * a drawing area in the panel's colour with one label on it, started and shown the plainest
 * way, with GTK's defaults (its accessibility bridge included). */
#include <gtk/gtk.h>

static gboolean paint(GtkWidget* area, cairo_t* cr, gpointer data) {
  (void)area;
  (void)data;
  cairo_set_source_rgb(cr, 0x2C / 255.0, 0x3A / 255.0, 0xC1 / 255.0);
  cairo_paint(cr);
  return FALSE;
}

int main(int argc, char** argv) {
  g_set_prgname("orven");
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "floor");
  GtkWidget* fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window), fixed);
  GtkWidget* area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, 794, 571);
  g_signal_connect(area, "draw", G_CALLBACK(paint), NULL);
  gtk_fixed_put(GTK_FIXED(fixed), area, 0, 0);
  gtk_fixed_put(GTK_FIXED(fixed), gtk_label_new("Hello"), 300, 40);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
