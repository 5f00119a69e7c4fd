// The three services of a run on FLTK: the native file chooser (GTK's where FLTK finds it),
// a message box of our own with one OK button and no owner, and opening a file through the
// desktop with a file:// URI.
#pragma once

#include "app/fltk/fonts.h"
#include "app/run_sequence.h"

namespace orven::fltk {

class FltkServices : public app::Services {
 public:
  explicit FltkServices(const FontChoice& font) : font_(font) {}

  // Starts in the current directory with the six filters, "XHTML" selected. A chosen
  // file's folder becomes the current directory, as the Windows dialog leaves it, so the
  // outputs land beside the input; cancelling changes nothing.
  std::vector<std::filesystem::path> choose_file() override;

  // Like a message box without an owner: the main window stays usable while it is shown,
  // and this returns when the box was dismissed (OK, Return, Escape or its close box).
  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override;

  // Hands the file to the desktop (xdg-open and its kin) and returns at once.
  void open_document(const std::filesystem::path& file) override;

 private:
  FontChoice font_;
};

// "file://" and the absolute path, every byte but the unreserved ones and '/' escaped.
std::string file_uri(const std::filesystem::path& absolute);

}  // namespace orven::fltk
