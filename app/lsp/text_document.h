// An open document's text as the language server holds it: its UTF-8 bytes with a sparse
// index of its lines, and the protocol's positions over it. A position is a line (lines
// end at CR LF, LF or CR) and a character within it, counted in UTF-16 code units unless the
// client and the server agreed on UTF-8 (bytes). A text is never changed in place: a change
// makes a new one, so the diagnostics worker can go on reading the old.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orven::lsp {

enum class Encoding { utf16, utf8 };

struct Position {
  std::uint64_t line = 0;
  std::uint64_t character = 0;
};

struct Range {
  Position start;
  Position end;
};

class Text {
 public:
  explicit Text(std::string bytes);

  const std::string& bytes() const { return bytes_; }
  std::uint64_t line_count() const { return breaks_ + 1; }

  // The byte offset of a position. A character past its line's end means the line's end, a
  // line past the last the text's end; a character inside a character that takes two
  // units means its start.
  std::size_t offset_of(Position position, Encoding encoding) const;
  // The position of a byte offset (the text's end for one past it).
  Position position_of(std::size_t offset, Encoding encoding) const;
  // The positions of offsets given in ascending order, each walked to from the one before:
  // one pass over the text for all of them.
  std::vector<Position> positions_of(std::span<const std::size_t> ascending,
                                     Encoding encoding) const;
  // The line of a byte offset, and the offsets where a line starts and where its break is.
  std::uint64_t line_of(std::size_t offset) const;
  std::size_t line_start(std::uint64_t line) const;
  std::size_t line_end(std::uint64_t line) const;

 private:
  std::string bytes_;
  // The line breaks before each block of kIndexBlock bytes: memory a small part of the
  // text's, even for a text of nothing but line breaks, and any line found by reading at
  // most one block.
  static constexpr std::size_t kIndexBlock = 1024;
  std::vector<std::uint64_t> breaks_before_;
  std::uint64_t breaks_ = 0;
  bool is_break(std::size_t i) const;
  // The characters from `start` to `offset` on one line, in the encoding's units.
  std::uint64_t units(std::size_t start, std::size_t offset, Encoding encoding) const;
  // The end of the line that starts at `start`: its break, or the text's end.
  std::size_t end_from(std::size_t start) const;
  // The line breaks that end in [from, to) (a CR LF ends at its LF).
  std::uint64_t breaks_in(std::size_t from, std::size_t to) const;
};

// One entry of a didChange: a range and its new text, or (no range) the whole new text.
struct TextChange {
  std::optional<Range> range;
  std::string text;
};

// The text after the changes, each applied to what the one before it left. A range whose
// end comes before its start is taken the other way round.
Text changed(const Text& text, std::span<const TextChange> changes, Encoding encoding);

}  // namespace orven::lsp
