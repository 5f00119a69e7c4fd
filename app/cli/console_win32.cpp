// orven-cli on Windows: arguments come from the wide command line, so that any file name
// reaches the modes intact; text goes to a console through WriteConsoleW, which shows Russian
// right whatever the console's code page, and as UTF-8 bytes when the output is redirected.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "app/cli/console.h"

namespace orven::cli {
namespace {

std::wstring wide_from_utf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string utf8_from_wide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

void write_to(DWORD which, std::string_view utf8) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = wide_from_utf8(utf8);
    // Older consoles refuse one large write, so the text goes in pieces, never splitting a
    // surrogate pair.
    constexpr std::size_t kPiece = 8192;
    for (std::size_t from = 0; from < wide.size();) {
      std::size_t count = std::min(kPiece, wide.size() - from);
      if (from + count < wide.size() && IS_HIGH_SURROGATE(wide[from + count - 1])) --count;
      DWORD written = 0;
      if (!WriteConsoleW(handle, wide.data() + from, static_cast<DWORD>(count), &written,
                         nullptr) ||
          written == 0) {
        return;
      }
      from += written;
    }
    return;
  }
  for (std::size_t from = 0; from < utf8.size();) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(utf8.size() - from, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(handle, utf8.data() + from, count, &written, nullptr) || written == 0) return;
    from += written;
  }
}

}  // namespace

std::vector<Argument> program_arguments(int argc, char** argv) {
  std::vector<Argument> args;
  int count = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) {
      args.push_back({utf8_from_wide(wide[i]), std::filesystem::path(std::wstring(wide[i]))});
    }
    LocalFree(wide);
    return args;
  }
  // Without the wide command line, the runtime's narrow arguments are the best there is.
  for (int i = 1; i < argc; ++i) args.push_back({argv[i], std::filesystem::path(argv[i])});
  return args;
}

void write_stdout(std::string_view utf8) {
  write_to(STD_OUTPUT_HANDLE, utf8);
}

void write_stderr(std::string_view utf8) {
  write_to(STD_ERROR_HANDLE, utf8);
}

void open_with_desktop(const std::filesystem::path& file) {
  ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace orven::cli
