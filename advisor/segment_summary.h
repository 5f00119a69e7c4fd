// What one segment of the scanned text (a stretch of one file, as the scan's reader cut it)
// holds, worked out from its bytes and what the scan tells about its context alone: no lock,
// no state of the scan. Any thread may summarise any segment; the fold (advisor/scan_fold.h)
// puts the summaries together in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/code_match.h"
#include "advisor/keyword_kinds.h"
#include "advisor/keyword_scan.h"
#include "advisor/places.h"

namespace orven {

struct MarkerRules;

// What the scan keeps of a stretch of the scanned text (a segment, a file, all the files
// folded): the keywords inside it, its edges, and its places when the run wants them.
struct Stretch {
  explicit Stretch(std::size_t keywords, bool with_places = false) : found(keywords, false) {
    if (with_places) places.emplace(keywords);
  }

  std::vector<bool> found;
  Edges edges;
  std::optional<StretchPlaces> places;
};

// What a segment is summarised with, the same for every segment of a scan but its code view
// and lines.
struct SegmentContext {
  const KeywordSet& keywords;
  std::size_t overlap = 0;  // the longest keyword's length less one
  bool places = false;      // count and place every keyword (else only whether it occurs)
  // With places and markers honoured: the rules of each keyword, and the segment's lines as
  // the reader saw them.
  const MarkerRules* markers = nullptr;
  ChunkLines lines{};
  // Matched in code, a segment of a file of a language: its bytes' classes as the file's lexer
  // gave them, and the kind of each keyword.
  const CodeView* code = nullptr;
  std::span<const KeywordKind> kinds{};
};

// Where the bytes of a stretch's head and tail lie in its segment, for their places.
struct EdgeOffsets {
  std::vector<std::size_t> head;
  std::vector<std::size_t> tail;
};

// The first half of a summary: what the segment keeps at its edges (head, tail, last word,
// with the code view their CodeBytes too), and with places where the head's and tail's bytes
// lie. A scanner makes this half for every segment of a buffer before the second, so that a
// segment that is a whole file can be told the words of its neighbours (WholeFile).
Stretch segment_edges(std::string_view segment, const SegmentContext& context,
                      EdgeOffsets* offsets);

// The second half: the keywords the segment holds, or with places their counts and places
// (`around` for a segment that is a whole file: the settled keywords and the neighbours' words,
// with the segment's own head and tail filled in here) and with markers what they turn off.
void segment_keywords(Stretch& s, std::string_view segment, const SegmentContext& context,
                      const EdgeOffsets& offsets, const WholeFile* around = nullptr);

// Both halves in one.
Stretch summarise_segment(std::string_view segment, const SegmentContext& context,
                          const WholeFile* around = nullptr);

}  // namespace orven
