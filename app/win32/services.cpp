#include "app/win32/services.h"

#include <commdlg.h>

#include <filesystem>
#include <string>

#include "app/display_text.h"
#include "base/platform.h"
#include "texts/window.h"

namespace orven::win32 {
namespace {

// The longest path the wide functions take, in characters, with its terminating zero.
constexpr std::size_t kLongPathRoom = 32768;

// "XHTML\0*.html\0PHP\0*.php\0...\0\0": name and pattern of each filter, each ended by a
// zero, and one more zero after the last.
std::wstring filter_list() {
  std::wstring list;
  for (const texts::window::Filter& filter : texts::window::kFilters) {
    list += wide(filter.name);
    list += L'\0';
    list += wide(filter.pattern);
    list += L'\0';
  }
  list += L'\0';
  return list;
}

}  // namespace

std::wstring wide(std::string_view cp1251) {
  return platform::wide_from_utf8(app::to_utf8(cp1251));
}

std::vector<std::filesystem::path> Win32Services::choose_file() {
  const std::wstring filters = filter_list();
  // Room for a long path (the manifest declares the program aware of them), an empty name
  // at first.
  std::wstring name(kLongPathRoom, L'\0');
  // The classic request without the fields later systems added; everything else zero, so
  // no title and no initial folder.
  OPENFILENAMEW request{};
  request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  request.hwndOwner = owner_;
  request.lpstrFilter = filters.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = name.data();
  request.nMaxFile = static_cast<DWORD>(name.size());
  request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&request)) return {};
  name.resize(name.find(L'\0'));
  // The outputs land beside the chosen file: its folder becomes the current folder,
  // whichever folder the dialog showed (a full path typed into the name field leaves the
  // dialog's folder current), as in the Linux window.
  const std::filesystem::path chosen(name);
  std::error_code ignored;
  std::filesystem::current_path(chosen.parent_path(), ignored);
  return {chosen};
}

void Win32Services::show_message(std::string_view caption, std::string_view text,
                                 MessageKind kind) {
  // No owner: the main window stays enabled while the message is shown.
  const UINT type = kind == MessageKind::info ? MB_OK : MB_OK | MB_ICONERROR;
  MessageBoxW(nullptr, platform::wide_from_utf8(text).c_str(),
              platform::wide_from_utf8(caption).c_str(), type);
}

void Win32Services::open_document(const std::filesystem::path& file) {
  platform::open_document(file);
}

}  // namespace orven::win32
