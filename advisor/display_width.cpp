// Display widths from the generated table of ranges.
#include "advisor/display_width.h"

#include <algorithm>

#include "advisor/display_width_table.h"

namespace orven {

unsigned display_width(char32_t c) {
  using display_width_detail::kWidthRanges;
  using display_width_detail::WidthRange;
  const auto it = std::upper_bound(kWidthRanges.begin(), kWidthRanges.end(), c,
                                   [](char32_t x, const WidthRange& r) { return x < r.first; });
  if (it == kWidthRanges.begin()) return 1;
  const WidthRange& range = *std::prev(it);
  return c <= range.last ? range.width : 1;
}

CharWidth utf8_char_width(const unsigned char* bytes, std::size_t size) {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return {1, 1};
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length == 1) return {1, 1};
  if (length > size) return {0, 0};
  char32_t c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return {1, 1};
    c = c << 6 | (bytes[i] & 0x3F);
  }
  return {display_width(c), length};
}

void add_display(DisplaySpan& bytes_span, DisplaySpan& chars_span, const unsigned char* bytes,
                 std::size_t from, std::size_t to, std::size_t size) {
  for (std::size_t i = from; i < to; ++i) {
    const unsigned char c = bytes[i];
    if (c == '\t') {
      bytes_span.add_tab();
      chars_span.add_tab();
      continue;
    }
    bytes_span.add(1);
    if (c < 0x80) {
      chars_span.add(1);
    } else if ((c & 0xC0) != 0x80) {
      chars_span.add(utf8_char_width(bytes + i, size - i).width);
    }
  }
}

}  // namespace orven
