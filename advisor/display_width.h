// Display columns as the GNU Coding Standards count them for editors (GCC's default column
// unit, Vim's %v, Emacs' compile mode): tab stops every 8 columns, every other character as
// wide as it is shown (2 for East Asian wide ones, 0 for combining marks, 1 for the rest).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orven {

// The display width of a code point: 0, 1 or 2 (advisor/display_width_table.h).
unsigned display_width(char32_t c);

// The width of the character whose UTF-8 encoding starts at bytes[0] and has `size` bytes
// there at most, and its length in bytes; a length of 0 when the character runs past `size`.
// A byte that starts no character is one column and one byte.
struct CharWidth {
  unsigned width = 1;
  std::size_t length = 1;
};
CharWidth utf8_char_width(const unsigned char* bytes, std::size_t size);

// A column on a line, as a function of the column c (from 0) where a stretch of the line
// began: c + w0 while the stretch holds no tab; after one, T(c + w0) + r, T(x) being the tab
// stop after x. Two such put one after the other make one of the same kind.
struct DisplaySpan {
  std::uint64_t w0 = 0;
  std::uint64_t r = 0;
  bool tab = false;

  static constexpr std::uint64_t next_stop(std::uint64_t x) { return (x / 8 + 1) * 8; }
  std::uint64_t apply(std::uint64_t c) const { return tab ? next_stop(c + w0) + r : c + w0; }
  void add(std::uint64_t width) { (tab ? r : w0) += width; }
  void add_tab() {
    if (tab) {
      r = next_stop(r);
    } else {
      tab = true;
    }
  }
  // This span, then `after`.
  DisplaySpan then(const DisplaySpan& after) const {
    if (!after.tab) {
      DisplaySpan s = *this;
      s.add(after.w0);
      return s;
    }
    if (!tab) return {w0 + after.w0, after.r, true};
    return {w0, next_stop(r + after.w0) + after.r, true};
  }
  friend bool operator==(const DisplaySpan&, const DisplaySpan&) = default;
};

// The spans of bytes[from, to) on one line, counting bytes (each one column) and characters
// (UTF-8): a character that begins there counts whole (its bytes up to `size` are read); one
// that runs past `size` counts nothing (the stretch after it adds it, see places.cpp).
void add_display(DisplaySpan& bytes_span, DisplaySpan& chars_span, const unsigned char* bytes,
                 std::size_t from, std::size_t to, std::size_t size);

}  // namespace orven
