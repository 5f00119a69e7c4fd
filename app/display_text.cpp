#include "app/display_text.h"

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

}  // namespace orven::app
