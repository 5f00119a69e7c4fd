#include "advisor/segment_summary.h"

#include <algorithm>

#include "advisor/suppression.h"
#include "base/whitespace.h"

namespace orven {

Stretch segment_edges(std::string_view chunk, const SegmentContext& context, EdgeOffsets* offsets) {
  const std::size_t overlap = context.overlap;
  const CodeView* const code = context.code;
  Stretch s(context.keywords.size());
  Edges& e = s.edges;
  e.has_bytes = !chunk.empty();
  e.code = code != nullptr;
  if (offsets != nullptr) {
    offsets->head.reserve(overlap);
    offsets->tail.reserve(overlap);
  }
  for (std::size_t i = 0; i < chunk.size() && e.head.size() < overlap; ++i) {
    if (!is_whitespace(chunk[i])) {
      e.head += chunk[i];
      if (offsets != nullptr) offsets->head.push_back(i);
      if (code != nullptr) e.head_code += static_cast<char>(code_byte(*code, i));
    }
  }
  if (e.kept() < overlap) {
    e.tail = e.head;
    e.tail_code = e.head_code;
    if (offsets != nullptr) offsets->tail = offsets->head;
  } else {
    for (std::size_t i = chunk.size(); i > 0 && e.tail.size() < overlap; --i) {
      if (!is_whitespace(chunk[i - 1])) {
        e.tail += chunk[i - 1];
        if (offsets != nullptr) offsets->tail.push_back(i - 1);
        if (code != nullptr) e.tail_code += static_cast<char>(code_byte(*code, i - 1));
      }
    }
    std::reverse(e.tail.begin(), e.tail.end());
    std::reverse(e.tail_code.begin(), e.tail_code.end());
    if (offsets != nullptr) std::reverse(offsets->tail.begin(), offsets->tail.end());
  }
  std::size_t end = chunk.size();
  while (end > 0 && is_whitespace(chunk[end - 1])) --end;
  if (end > 0) {
    std::size_t begin = end;
    while (begin > 0 && !is_whitespace(chunk[begin - 1])) --begin;
    const std::size_t kept = std::min(end - begin, kWordKept);
    e.word.assign(chunk.substr(end - kept, kept));
    e.word_at_start = begin == 0;
    e.ends_in_word = end == chunk.size();
  }
  return s;
}

void segment_keywords(Stretch& s, std::string_view chunk, const SegmentContext& context,
                      const EdgeOffsets& offsets, const WholeFile* around) {
  const KeywordSet& keywords = context.keywords;
  if (!context.places) {
    keywords.find_all(chunk, s.found);
    return;
  }
  std::optional<CodeFilter> filter;
  if (context.code != nullptr) {
    filter.emplace(
        keywords, context.kinds, *context.code,
        context.markers != nullptr ? context.markers->marker_start : static_cast<std::size_t>(-1));
  }
  const OccurrenceFilter* keep = filter ? &*filter : nullptr;
  std::optional<WholeFile> whole;
  if (around != nullptr) {
    whole.emplace(*around);
    whole->head = s.edges.head;
    whole->tail = s.edges.tail;
  }
  s.places.emplace(chunk_places(chunk, keywords, s.edges, offsets.head, offsets.tail,
                                whole ? &*whole : nullptr, keep));
  for (std::size_t k = 0; k < s.found.size(); ++k) s.found[k] = s.places->keywords[k].count != 0;
  if (context.markers != nullptr) {
    chunk_markers(*s.places, s.edges, chunk, keywords, *context.markers, offsets.tail,
                  context.lines, keep);
  }
}

Stretch summarise_segment(std::string_view segment, const SegmentContext& context,
                          const WholeFile* around) {
  EdgeOffsets offsets;
  Stretch s = segment_edges(segment, context, context.places ? &offsets : nullptr);
  segment_keywords(s, segment, context, offsets, around);
  return s;
}

}  // namespace orven
