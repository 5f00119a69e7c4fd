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
#include <cstdint>
#include <optional>
#include <string>
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

// The markers of a text given in pieces one after another, read as markers_in reads the
// whole text, with begin and end counted from the first piece: the scan's reader reads so a
// line longer than a chunk. It keeps a few bytes of state however long a list runs, and never
// looks back at a piece once it is fed.
class MarkerStream {
 public:
  // Appends to `out` the markers that the piece completes.
  void feed(std::string_view piece, std::vector<Marker>& out);
  // The text ends here: a list that runs to its end is read as it stands.
  void finish(std::vector<Marker>& out);

 private:
  enum class State { search, scope, before_id, in_id, after_id };
  void step(char c, std::vector<Marker>& out);
  void end_id();

  State state_ = State::search;
  std::uint64_t at_ = 0;     // the bytes fed so far
  std::size_t matched_ = 0;  // search: of kMarkerStart
  std::string scope_;  // scope: the bytes after kMarkerStart, up to a scope word's and a blank
  Marker marker_;      // the marker being read, from scope on
  bool any_ = false;   // an id read into it
  std::string id_;     // in_id: the id's first four bytes (four: it is longer than any)
};

class KeywordSet;

// For a scan that honours the markers: by keyword of its set, the rules whose findings the
// keyword places (those that name it; for a gate keyword the rules of its section that have
// no keyword of their own, which fire where the gate opens it), and which keyword of the set
// is kMarkerStart, whose occurrences in a chunk's words say that the chunk may hold a marker.
struct MarkerRules {
  std::vector<std::vector<std::size_t>> rules_of;
  std::size_t marker_start = 0;
};
MarkerRules marker_rules(const KeywordSet& keywords);

}  // namespace orven
