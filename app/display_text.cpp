#include "app/display_text.h"

#include <system_error>

#include "texts/cp1251.h"

namespace orven::app {

std::string to_utf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (const char ch : cp1251) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x80) {
      out.push_back(ch);
      continue;
    }
    char16_t c = texts::kCp1251Upper[byte - 0x80];
    if (c == 0xFFFF) c = 0xFFFD;
    // Every character of the table lies in U+0080..U+FFFF: two or three UTF-8 bytes.
    if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return out;
}

std::string path_to_utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

std::size_t utf8_length(std::string_view text) {
  if (text.empty()) return 0;
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const std::size_t n = b(0) < 0x80                   ? 1
                        : b(0) >= 0xC2 && b(0) < 0xE0 ? 2
                        : b(0) >= 0xE0 && b(0) < 0xF0 ? 3
                        : b(0) >= 0xF0 && b(0) < 0xF5 ? 4
                                                      : 0;
  if (n == 0 || n > text.size()) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
  }
  // No overlong three- and four-byte forms, no surrogates, nothing beyond U+10FFFF.
  if ((n == 3 && ((b(0) == 0xE0 && b(1) < 0xA0) || (b(0) == 0xED && b(1) >= 0xA0))) ||
      (n == 4 && ((b(0) == 0xF0 && b(1) < 0x90) || (b(0) == 0xF4 && b(1) >= 0x90)))) {
    return 0;
  }
  return n;
}

namespace {

void append_escape(std::string& out, const char* prefix, unsigned char code) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += prefix;
  out += kHex[code >> 4];
  out += kHex[code & 0x0F];
}

}  // namespace

std::string escape_controls(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    const std::size_t n = utf8_length(utf8);
    const auto first = static_cast<unsigned char>(utf8[0]);
    if (n == 0 || (n == 1 && (first < 0x20 || first == 0x7F))) {
      append_escape(out, "\\x", first);
      utf8.remove_prefix(1);
      continue;
    }
    const auto second = static_cast<unsigned char>(utf8[n - 1]);
    if (n == 2 && first == 0xC2 && second < 0xA0) {
      append_escape(out, "\\u00", second);  // C1 controls, U+0080 to U+009F
    } else {
      out.append(utf8.substr(0, n));
    }
    utf8.remove_prefix(n);
  }
  return out;
}

std::string display_path(const std::filesystem::path& path) {
  try {
    return escape_controls(path_to_utf8(path));
  } catch (const std::system_error&) {
    // A Windows name that is not valid UTF-16 (a lone surrogate) has no UTF-8 form.
    return escape_controls(path.string());
  }
}

}  // namespace orven::app
