// The markers that turn rules off in the source, for the machine formats: a line holding
// "orven-disable-line IDS" (that line), "orven-disable-next-line IDS" (the next one) or
// "orven-disable-file IDS" (the whole file). IDS is one or more rule ids ("W03", "C12") or
// "all", separated by commas, blanks or tabs allowed around them; the list starts after at
// least one blank or tab and ends at the first byte that belongs to none of them. A marker is
// read on the raw bytes of its line, whatever language or comment syntax is around it; an id
// that is not one of the rules is passed over. An occurrence of a keyword belongs to the line
// of its first byte.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "advisor/rule_index.h"

namespace orven {

struct Marker {
  enum class Scope { line, next_line, file };
  Scope scope = Scope::line;
  RuleSet rules;
  std::size_t begin = 0;  // where "orven-disable-" starts in the text
  std::size_t end = 0;    // one past the last byte of its list
};

// The bytes every marker starts with.
inline constexpr std::string_view kMarkerStart = "orven-disable-";

// The next marker in text from `from` on, or none. A list that runs to the end of text is
// read as it stands there only when `text_ends` (the text is all of its file); otherwise
// its last id may go on beyond, and the marker is left to a reading of the longer text.
std::optional<Marker> next_marker(std::string_view text, std::size_t from, bool text_ends = true);

// The markers of a whole text, in order.
std::vector<Marker> markers_in(std::string_view text);

}  // namespace orven
