// The three services of a run on Win32: the system's open-file dialog owned by the main
// window (the chosen file's folder becomes the current folder), a message box without
// owner, and the shell's "open" verb.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "app/run_sequence.h"

namespace orven::win32 {

// A fixed windows-1251 text as the wide text of the Windows functions.
std::wstring wide(std::string_view cp1251);

class Win32Services : public app::Services {
 public:
  explicit Win32Services(HWND owner) : owner_(owner) {}

  std::vector<std::filesystem::path> choose_file() override;
  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override;
  void open_document(const std::filesystem::path& file) override;

 private:
  HWND owner_;
};

}  // namespace orven::win32
