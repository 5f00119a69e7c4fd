#include "app/fltk/services.h"

#include <algorithm>
#include <string>

#include "app/display_text.h"
#include "app/fltk/fl.h"
#include "app/fltk/open_dialog.h"
#include "app/fltk/window_names.h"
#include "base/platform.h"
#include "texts/window.h"

namespace orven::fltk {
namespace {

namespace fs = std::filesystem;

// The filters in FLTK's form: "name TAB pattern", one per line.
std::string chooser_filter() {
  std::string filter;
  for (const texts::window::Filter& f : texts::window::kFilters) {
    if (!filter.empty()) filter += '\n';
    filter += app::to_utf8(f.name) + '\t' + app::to_utf8(f.pattern);
  }
  return filter;
}

// FLTK's own chooser, for where GTK's dialog is not to be had.
std::optional<fs::path> fltk_chooser(const std::string& title, const fs::path& start) {
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
  chooser.title(title.c_str());
  const std::string filter = chooser_filter();
  chooser.filter(filter.c_str());
  chooser.filter_value(0);
  if (!start.empty()) chooser.directory(start.c_str());
  if (chooser.show() != 0 || chooser.filename() == nullptr || *chooser.filename() == '\0') {
    return std::nullopt;
  }
  return fs::path(chooser.filename());
}

}  // namespace

std::vector<fs::path> FltkServices::choose_file() {
  std::error_code ec;
  const fs::path start = fs::current_path(ec);
  const std::string title = app::to_utf8(texts::window::kOpenDialogTitle);
  std::optional<fs::path> chosen;
  // FLTK's option for its own native chooser (FNFCUsesGTK in its preferences) is honoured:
  // with it off, FLTK's chooser is used, which never loads GTK.
  if (Fl::option(Fl::OPTION_FNFC_USES_GTK) && gtk_dialog_available()) {
    OpenRequest request{title, {}, ec ? fs::path() : start};
    for (const texts::window::Filter& f : texts::window::kFilters) {
      request.filters.push_back({app::to_utf8(f.name), app::to_utf8(f.pattern)});
    }
    chosen = gtk_open_dialog(request, owner_);
  } else {
    chosen = fltk_chooser(title, ec ? fs::path() : start);
  }
  if (!chosen) return {};
  fs::path absolute = fs::absolute(*chosen, ec);
  if (ec) absolute = *chosen;
  // A name that does not exist still goes to the mode, which reports it as unreadable.
  fs::current_path(absolute.parent_path(), ec);
  return {absolute};
}

void FltkServices::show_message(std::string_view caption, std::string_view text, MessageKind kind) {
  const std::string title(caption);
  const std::string body(text);
  const std::string icon_text = kind == MessageKind::info ? "i" : "!";

  // FLTK draws "@..." as a symbol; doubled, it is the character itself.
  std::string shown;
  for (const char ch : body) shown += ch == '@' ? std::string("@@") : std::string(1, ch);

  // One line up to 420 pixels wide, wrapped beyond.
  fl_font(font_.font, font_.size);
  int text_w = 0;
  int text_h = 0;
  fl_measure(shown.c_str(), text_w, text_h, 0);
  if (text_w > 420) {
    text_w = 420;
    text_h = 0;
    fl_measure(shown.c_str(), text_w, text_h, 0);
  }
  text_w = std::max(text_w, 200);
  text_h = std::max(text_h, 40);

  text_w += 12;  // the label's inner margins
  const int box_w = text_w + 90;
  const int box_h = text_h + 70;
  Fl_Window box((Fl::w() - box_w) / 2, (Fl::h() - box_h) / 2, box_w, box_h, title.c_str());
  box.xclass("orven-message");
  auto* icon = new Fl_Box(FL_THIN_UP_BOX, 15, 15, 40, 40, icon_text.c_str());
  icon->labelfont(FL_TIMES_BOLD);
  icon->labelsize(30);
  icon->labelcolor(kind == MessageKind::info ? FL_BLUE : FL_RED);
  icon->color(FL_WHITE);
  auto* message = new Fl_Box(70, 15, text_w + 5, text_h, shown.c_str());
  message->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_TOP);
  message->labelfont(font_.font);
  message->labelsize(font_.size);
  auto* ok = new Fl_Return_Button(box_w - 100, box_h - 38, 85, 26, "OK");
  ok->labelfont(font_.font);
  ok->labelsize(font_.size);
  ok->callback([](Fl_Widget* w, void*) { w->window()->hide(); });
  box.end();
  box.show();
  set_legacy_names(box);
  ok->take_focus();
  while (box.shown()) Fl::wait();
}

void FltkServices::open_document(const fs::path& file) {
  platform::open_document(file);
}

}  // namespace orven::fltk
