// Reading the markers. A marker is rare, so the text is searched for its first bytes with one
// library search and only a find is read closely.
#include "advisor/suppression.h"

#include <algorithm>
#include <array>
#include <functional>

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
    const std::string_view id = text.substr(id_begin, i - id_begin);
    if (id == "all") {
      marker.rules.set();
    } else if (const std::optional<std::size_t> number = rule_number(id)) {
      marker.rules.set(*number);
    }
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

}  // namespace orven
