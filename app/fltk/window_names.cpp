#include "app/fltk/window_names.h"

#include <X11/Xutil.h>

namespace orven::fltk {

void set_legacy_names(Fl_Window& window) {
  if (!window.shown() || window.label() == nullptr) return;
  char* names[] = {const_cast<char*>(window.label())};
  XTextProperty property{};
  // The standard style keeps plain STRING where Latin-1 suffices, COMPOUND_TEXT otherwise.
  if (Xutf8TextListToTextProperty(fl_display, names, 1, XStdICCTextStyle, &property) < Success) {
    return;
  }
  XSetWMName(fl_display, fl_xid(&window), &property);
  XSetWMIconName(fl_display, fl_xid(&window), &property);
  XFree(property.value);
}

}  // namespace orven::fltk
