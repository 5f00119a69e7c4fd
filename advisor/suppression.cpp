// Reading the markers. A marker is rare, so the text is searched for its first bytes with one
// library search and only a find is read closely.
#include "advisor/suppression.h"

#include <algorithm>
#include <array>
#include <functional>

#include "advisor/keyword_scan.h"

namespace orven {

namespace {

bool is_id_byte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

constexpr std::array<std::pair<std::string_view, Marker::Scope>, 3> kScopes{{
    {"line", Marker::Scope::line},
    {"next-line", Marker::Scope::next_line},
    {"file", Marker::Scope::file},
}};

// The rule or rules an id names, added to a marker's.
void add_id(Marker& marker, std::string_view id) {
  if (id == "all") {
    marker.rules.set();
  } else if (const std::optional<std::size_t> number = rule_number(id)) {
    marker.rules.set(*number);
  }
}

// The marker whose start is at `at`, or none when what follows is not one.
std::optional<Marker> marker_at(std::string_view text, std::size_t at, bool text_ends) {
  std::size_t i = at + kMarkerStart.size();
  Marker marker;
  marker.begin = at;
  bool known = false;
  for (const auto& [word, scope] : kScopes) {
    if (text.substr(i, word.size()) == word && i + word.size() < text.size() &&
        is_blank(text[i + word.size()])) {
      marker.scope = scope;
      i += word.size();
      known = true;
      break;
    }
  }
  if (!known) return std::nullopt;
  bool any = false;
  for (;;) {
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i == text.size() && !text_ends) return std::nullopt;  // an id may follow
    const std::size_t id_begin = i;
    while (i < text.size() && is_id_byte(text[i])) ++i;
    if (i == id_begin) break;
    if (i == text.size() && !text_ends) return std::nullopt;  // the id may go on
    add_id(marker, text.substr(id_begin, i - id_begin));
    any = true;
    marker.end = i;
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i == text.size() && !text_ends) return std::nullopt;
    if (i == text.size() || text[i] != ',') break;
    ++i;
  }
  if (!any) return std::nullopt;
  return marker;
}

}  // namespace

std::optional<Marker> next_marker(std::string_view text, std::size_t from, bool text_ends) {
  static const std::boyer_moore_horspool_searcher searcher(kMarkerStart.begin(),
                                                           kMarkerStart.end());
  while (from < text.size()) {
    const auto found =
        std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), searcher);
    if (found == text.end()) return std::nullopt;
    const std::size_t at = static_cast<std::size_t>(found - text.begin());
    if (std::optional<Marker> marker = marker_at(text, at, text_ends)) return marker;
    from = at + 1;
  }
  return std::nullopt;
}

std::vector<Marker> markers_in(std::string_view text) {
  std::vector<Marker> markers;
  for (std::optional<Marker> m = next_marker(text, 0); m; m = next_marker(text, m->end)) {
    markers.push_back(*m);
  }
  return markers;
}

// The states follow marker_at. Where markers_in goes on after a marker (from its end) or
// after a start that is none (from the byte after it), nothing it passes over can begin
// kMarkerStart, whose only "o" is its first byte: blanks and a comma, or a scope word's bytes,
// which a failed scope gives back to the search (at most ten). So the stream goes on with
// the byte that ends a list, or with those bytes, and needs nothing else of the past.
void MarkerStream::feed(std::string_view piece, std::vector<Marker>& out) {
  static const std::boyer_moore_horspool_searcher searcher(kMarkerStart.begin(),
                                                           kMarkerStart.end());
  std::size_t i = 0;
  while (i < piece.size()) {
    if (state_ == State::search && matched_ == 0) {
      // Most of a long line: a library search up to a start, or to the piece's last bytes.
      const auto found =
          std::search(piece.begin() + static_cast<std::ptrdiff_t>(i), piece.end(), searcher);
      const std::size_t to =
          found != piece.end()
              ? static_cast<std::size_t>(found - piece.begin())
              : std::max(i, piece.size() - std::min(piece.size(), kMarkerStart.size() - 1));
      at_ += to - i;
      i = to;
      if (i == piece.size()) break;
    }
    step(piece[i++], out);
    ++at_;
  }
}

void MarkerStream::finish(std::vector<Marker>& out) {
  if (state_ == State::in_id) end_id();
  if ((state_ == State::before_id || state_ == State::after_id || state_ == State::in_id) && any_) {
    out.push_back(marker_);
  }
  *this = MarkerStream{};
}

void MarkerStream::end_id() {
  add_id(marker_, id_);
  any_ = true;
  marker_.end = at_;
  state_ = State::after_id;
}

// One byte, the at_-th.
void MarkerStream::step(char c, std::vector<Marker>& out) {
  switch (state_) {
    case State::search:
      if (c == kMarkerStart[matched_]) {
        if (++matched_ == kMarkerStart.size()) {
          state_ = State::scope;
          marker_ = Marker{};
          marker_.begin = at_ + 1 - kMarkerStart.size();
          scope_.clear();
          matched_ = 0;
        }
      } else {
        matched_ = c == kMarkerStart[0] ? 1 : 0;
      }
      return;
    case State::scope: {
      scope_ += c;
      for (const auto& [word, scope] : kScopes) {
        if (scope_.size() == word.size() + 1 && scope_.starts_with(word) && is_blank(c)) {
          marker_.scope = scope;
          any_ = false;
          state_ = State::before_id;
          return;
        }
        if (scope_.size() <= word.size() && word.starts_with(scope_)) return;  // goes on
      }
      // No marker: its bytes go back to the search, which they cannot take to a start.
      state_ = State::search;
      for (const char b : scope_)
        matched_ = b == kMarkerStart[matched_] ? matched_ + 1 : b == kMarkerStart[0] ? 1 : 0;
      return;
    }
    case State::before_id:
      if (is_blank(c)) return;
      if (is_id_byte(c)) {
        id_.assign(1, c);
        state_ = State::in_id;
        return;
      }
      break;  // the list ends
    case State::in_id:
      if (is_id_byte(c)) {
        if (id_.size() < 4) id_ += c;
        return;
      }
      end_id();
      [[fallthrough]];
    case State::after_id:
      if (is_blank(c)) return;
      if (c == ',') {
        state_ = State::before_id;
        return;
      }
      break;  // the list ends
  }
  if (any_) out.push_back(marker_);
  state_ = State::search;
  matched_ = c == kMarkerStart[0] ? 1 : 0;
}

MarkerRules marker_rules(const KeywordSet& keywords) {
  MarkerRules rules;
  rules.rules_of = rules_by_keyword(keywords);
  rules.marker_start = keywords.index_of(kMarkerStart);
  // The rules without keywords fire where their section's gate opens it.
  for (const RuleRef& ref : all_rules()) {
    if (std::any_of(ref.rule->keywords.begin(), ref.rule->keywords.end(),
                    [](std::string_view k) { return !k.empty(); })) {
      continue;
    }
    for (const std::string_view keyword : section_gate(ref.section)) {
      const std::size_t k = keywords.index_of(keyword);
      if (k < keywords.size()) rules.rules_of[k].push_back(ref.number);
    }
  }
  return rules;
}

}  // namespace orven
