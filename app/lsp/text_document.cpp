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

Text::Text(std::string bytes) : bytes_(std::move(bytes)) {
  starts_.push_back(0);
  const char* data = bytes_.data();
  const std::size_t size = bytes_.size();
  // Most texts have no CR at all: then memchr finds the line feeds, several bytes a step.
  if (std::memchr(data, '\r', size) == nullptr) {
    for (const char* at = data; (at = static_cast<const char*>(std::memchr(
                                     at, '\n', static_cast<std::size_t>(data + size - at))));) {
      ++at;
      starts_.push_back(static_cast<std::size_t>(at - data));
    }
    return;
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      starts_.push_back(i + 1);
    } else if (data[i] == '\r') {
      if (i + 1 < size && data[i + 1] == '\n') ++i;
      starts_.push_back(i + 1);
    }
  }
}

std::size_t Text::line_end(std::uint64_t line) const {
  if (line + 1 >= starts_.size()) return bytes_.size();
  std::size_t end = starts_[line + 1] - 1;
  if (bytes_[end] == '\n' && end > starts_[line] && bytes_[end - 1] == '\r') --end;
  return end;
}

std::uint64_t Text::line_of(std::size_t offset) const {
  return static_cast<std::uint64_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                    starts_.begin() - 1);
}

std::size_t Text::offset_of(Position position, Encoding encoding) const {
  if (position.line >= starts_.size()) return bytes_.size();
  const std::size_t start = starts_[position.line];
  const std::size_t end = line_end(position.line);
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

Position Text::position_of(std::size_t offset, Encoding encoding) const {
  offset = std::min(offset, bytes_.size());
  const std::uint64_t line = line_of(offset);
  const std::size_t start = starts_[line];
  if (encoding == Encoding::utf8) return {line, offset - start};
  std::uint64_t units = 0;
  for (std::size_t at = start; at < offset;) {
    const Step step = step_at(bytes_, at, bytes_.size());
    units += step.units;
    at += step.bytes;
  }
  return {line, units};
}

Text changed(const Text& text, std::span<const TextChange> changes, Encoding encoding) {
  // The last whole text replaces all that came before it.
  std::size_t from = 0;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (!changes[i].range) from = i + 1;
  }
  Text current(from > 0 ? changes[from - 1].text : text.bytes());
  // Each range speaks of the text the change before it left, lines included.
  for (std::size_t i = from; i < changes.size(); ++i) {
    std::size_t begin = current.offset_of(changes[i].range->start, encoding);
    std::size_t end = current.offset_of(changes[i].range->end, encoding);
    if (end < begin) std::swap(begin, end);
    std::string next = current.bytes();
    next.replace(begin, end - begin, changes[i].text);
    current = Text(std::move(next));
  }
  return current;
}

}  // namespace orven::lsp
