#include "app/lsp/text_document.h"

#include <algorithm>
#include <cstring>

namespace orven::lsp {

namespace {

// The length of the UTF-8 character at text[i] within [i, end), and the UTF-16 units it
// takes. A byte that starts no valid character counts as one unit of one byte (the text
// came through JSON, so it is valid UTF-8, but nothing here relies on that).
struct Step {
  std::size_t bytes;
  std::size_t units;
};

Step step_at(std::string_view text, std::size_t i, std::size_t end) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (length == 1 || i + length > end) return {1, 1};
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {1, 1};
  }
  return {length, length == 4 ? std::size_t{2} : std::size_t{1}};
}

}  // namespace

// A line ends at a LF, or at a CR that no LF follows: the break of a CR LF is its LF.
bool Text::is_break(std::size_t i) const {
  return bytes_[i] == '\n' ||
         (bytes_[i] == '\r' && (i + 1 == bytes_.size() || bytes_[i + 1] != '\n'));
}

std::uint64_t Text::breaks_in(std::size_t from, std::size_t to) const {
  const char* data = bytes_.data();
  // Counting LFs vectorises; CRs are rare, and looked at only where there are any.
  std::uint64_t n = static_cast<std::uint64_t>(std::count(data + from, data + to, '\n'));
  for (const char* cr = data + from; (cr = static_cast<const char*>(std::memchr(
                                          cr, '\r', static_cast<std::size_t>(data + to - cr))));
       ++cr) {
    if (is_break(static_cast<std::size_t>(cr - data))) ++n;
  }
  return n;
}

Text::Text(std::string bytes) : bytes_(std::move(bytes)) {
  const std::size_t size = bytes_.size();
  breaks_before_.reserve(size / kIndexBlock + 1);
  for (std::size_t block = 0; block <= size; block += kIndexBlock) {
    breaks_before_.push_back(breaks_);
    breaks_ += breaks_in(block, std::min(size, block + kIndexBlock));
  }
}

std::size_t Text::line_start(std::uint64_t line) const {
  if (line == 0) return 0;
  // The block that holds the line-th break, then the break itself within it.
  const auto after = std::lower_bound(breaks_before_.begin(), breaks_before_.end(), line);
  const std::size_t block = static_cast<std::size_t>(after - breaks_before_.begin()) - 1;
  std::uint64_t left = line - breaks_before_[block];
  for (std::size_t i = block * kIndexBlock; i < bytes_.size(); ++i) {
    if (is_break(i) && --left == 0) return i + 1;
  }
  return bytes_.size();
}

std::size_t Text::line_end(std::uint64_t line) const {
  return end_from(line_start(line));
}

std::size_t Text::end_from(std::size_t start) const {
  const std::size_t end = bytes_.find_first_of("\r\n", start);
  return end == std::string::npos ? bytes_.size() : end;
}

std::uint64_t Text::line_of(std::size_t offset) const {
  offset = std::min(offset, bytes_.size());
  const std::size_t block = offset / kIndexBlock;
  return breaks_before_[block] + breaks_in(block * kIndexBlock, offset);
}

std::size_t Text::offset_of(Position position, Encoding encoding) const {
  if (position.line > breaks_) return bytes_.size();
  const std::size_t start = line_start(position.line);
  const std::size_t end = end_from(start);
  if (encoding == Encoding::utf8) {
    // A byte offset inside a character means the character's start.
    std::size_t at =
        start + static_cast<std::size_t>(std::min<std::uint64_t>(position.character, end - start));
    while (at > start && at < end && (static_cast<unsigned char>(bytes_[at]) & 0xC0) == 0x80) {
      --at;
    }
    return at;
  }
  std::size_t at = start;
  for (std::uint64_t units = 0; at < end;) {
    const Step step = step_at(bytes_, at, end);
    if (units + step.units > position.character) break;
    units += step.units;
    at += step.bytes;
  }
  return at;
}

std::uint64_t Text::units(std::size_t start, std::size_t offset, Encoding encoding) const {
  if (encoding == Encoding::utf8) return offset - start;
  std::uint64_t units = 0;
  for (std::size_t at = start; at < offset;) {
    const Step step = step_at(bytes_, at, bytes_.size());
    units += step.units;
    at += step.bytes;
  }
  return units;
}

Position Text::position_of(std::size_t offset, Encoding encoding) const {
  offset = std::min(offset, bytes_.size());
  const std::uint64_t line = line_of(offset);
  return {line, units(line_start(line), offset, encoding)};
}

std::vector<Position> Text::positions_of(std::span<const std::size_t> ascending,
                                         Encoding encoding) const {
  std::vector<Position> out;
  out.reserve(ascending.size());
  std::size_t at = 0;
  std::uint64_t line = 0;
  std::size_t start = 0;
  for (std::size_t offset : ascending) {
    offset = std::clamp(offset, at, bytes_.size());
    if (const std::uint64_t breaks = breaks_in(at, offset); breaks > 0) {
      line += breaks;
      start = offset;
      while (!is_break(start - 1)) --start;
    }
    at = offset;
    out.push_back({line, units(start, offset, encoding)});
  }
  return out;
}

Text changed(const Text& text, std::span<const TextChange> changes, Encoding encoding) {
  // The last whole text replaces all that came before it.
  std::size_t from = 0;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (!changes[i].range) from = i + 1;
  }
  std::optional<Text> current;
  if (from > 0) current.emplace(changes[from - 1].text);
  // Each range speaks of the text the change before it left, lines included; the first
  // reads the old text where it can, not a copy of it indexed again.
  for (std::size_t i = from; i < changes.size(); ++i) {
    const Text& before = current ? *current : text;
    std::size_t begin = before.offset_of(changes[i].range->start, encoding);
    std::size_t end = before.offset_of(changes[i].range->end, encoding);
    if (end < begin) std::swap(begin, end);
    std::string next;
    next.reserve(before.bytes().size() - (end - begin) + changes[i].text.size());
    next.append(before.bytes(), 0, begin).append(changes[i].text).append(before.bytes(), end);
    current.emplace(std::move(next));
  }
  return current ? std::move(*current) : Text(text.bytes());
}

}  // namespace orven::lsp
