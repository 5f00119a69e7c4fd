// Places of the keywords: lines and columns counted over each chunk while it is in memory,
// and joined across chunks and files as the scan joins its stretches.
#include "advisor/places.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "advisor/keyword_scan.h"
#include "base/whitespace.h"

namespace orven {

namespace {

// The decoder's states: 0 between characters, 1 after an error (for good), 2 to 4 waiting
// for 1 to 3 more continuation bytes, 5 to 8 waiting after E0, ED, F0 and F4, whose next
// byte has a narrower range (no overlong forms, no surrogates, nothing above U+10FFFF).
std::uint8_t utf8_step(std::uint8_t state, unsigned char c) {
  const bool continuation = (c & 0xC0) == 0x80;
  switch (state) {
    case 0:
      if (c < 0x80) return 0;
      if (c >= 0xC2 && c <= 0xDF) return 2;
      if (c == 0xE0) return 5;
      if (c == 0xED) return 6;
      if (c >= 0xE1 && c <= 0xEF) return 3;
      if (c == 0xF0) return 7;
      if (c >= 0xF1 && c <= 0xF3) return 4;
      if (c == 0xF4) return 8;
      return 1;
    case 2:
      return continuation ? 0 : 1;
    case 3:
      return continuation ? 2 : 1;
    case 4:
      return continuation ? 3 : 1;
    case 5:
      return c >= 0xA0 && c <= 0xBF ? 2 : 1;
    case 6:
      return c >= 0x80 && c <= 0x9F ? 2 : 1;
    case 7:
      return c >= 0x90 && c <= 0xBF ? 3 : 1;
    case 8:
      return c >= 0x80 && c <= 0x8F ? 3 : 1;
    default:
      return 1;
  }
}

// utf8_step as a table, one look-up a byte.
const std::array<std::array<std::uint8_t, 256>, Utf8Check::kStates> kUtf8Next = [] {
  std::array<std::array<std::uint8_t, 256>, Utf8Check::kStates> table{};
  for (std::size_t s = 0; s < Utf8Check::kStates; ++s) {
    for (std::size_t c = 0; c < 256; ++c) {
      table[s][c] = utf8_step(static_cast<std::uint8_t>(s), static_cast<unsigned char>(c));
    }
  }
  return table;
}();

// The UTF-16 code units a byte adds when the text is UTF-8: one for a character's first byte,
// two for the first of four bytes, none for the bytes that continue a character.
constexpr std::uint64_t units_of(unsigned char c) {
  return static_cast<std::uint64_t>((c & 0xC0) != 0x80) + (c >= 0xF0);
}

std::uint64_t units_in(const unsigned char* from, const unsigned char* to) {
  std::uint64_t units = 0;
  for (; from != to; ++from) units += units_of(*from);
  return units;
}

// The eight bytes at p as one word, and a mark in the top bit of each byte of the word that
// equals c (exactly: no carries between bytes).
std::uint64_t load8(const unsigned char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}
std::uint64_t bytes_equal(std::uint64_t word, unsigned char c) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  const std::uint64_t v = word ^ (0x0101010101010101u * c);
  return ~(((v & kLow7) + kLow7) | v | kLow7);
}

// The line breaks in [from, end): every LF and every CR, less each CR LF pair inside it.
std::uint64_t count_breaks(const unsigned char* from, const unsigned char* end) {
  std::uint64_t breaks = 0;
  const unsigned char* p = from;
  for (; end - p >= 9; p += 8) {  // the pair's LF may be the ninth byte
    const std::uint64_t word = load8(p);
    const std::uint64_t lf = bytes_equal(word, '\n');
    const std::uint64_t cr = bytes_equal(word, '\r');
    if ((lf | cr) == 0) continue;
    const std::uint64_t pairs = cr & bytes_equal(load8(p + 1), '\n');
    breaks +=
        static_cast<std::uint64_t>(std::popcount(lf) + std::popcount(cr) - std::popcount(pairs));
  }
  for (; p != end; ++p) {
    if (*p == '\n') ++breaks;
    if (*p == '\r' && !(p + 1 != end && p[1] == '\n')) ++breaks;
  }
  return breaks;
}

// Walks a chunk forward, counting line breaks and the columns since the last one.
class LineWalk {
 public:
  explicit LineWalk(std::string_view chunk)
      : bytes_(reinterpret_cast<const unsigned char*>(chunk.data())) {}

  TextPlace at(std::size_t offset) {
    advance(offset);
    return {TextPlace::kOpen, breaks_, offset - line_start_, units_};
  }
  std::uint64_t breaks() const { return breaks_; }

 private:
  // Line breaks are counted eight bytes at a time, and the columns from the last break only.
  void advance(std::size_t to) {
    if (to == pos_) return;
    const unsigned char* const from = bytes_ + pos_;
    const unsigned char* const end = bytes_ + to;
    std::uint64_t breaks = count_breaks(from, end);
    // An LF at the start of the range right after a CR before it ends no line of its own.
    if (pos_ > 0 && from[-1] == '\r' && *from == '\n') --breaks;
    // A break char in the range: with no break counted, that can only be an LF right after
    // a CR before the range.
    if (breaks == 0 && (from == end || *from != '\n')) {
      units_ += units_in(from, end);
    } else {
      const unsigned char* line = end;
      while (line != from && line[-1] != '\n' && line[-1] != '\r') --line;
      line_start_ = static_cast<std::size_t>(line - bytes_);
      units_ = units_in(line, end);
    }
    breaks_ += breaks;
    pos_ = to;
  }

  const unsigned char* bytes_;
  std::size_t pos_ = 0;
  std::uint64_t breaks_ = 0;
  std::size_t line_start_ = 0;
  std::uint64_t units_ = 0;
};

// A place of b, in the stretch of a followed by b.
TextPlace moved(const StretchPlaces& a, bool lf_after_cr, TextPlace p) {
  if (p.file != TextPlace::kOpen) return p;  // in a file that is done: it stays
  if (p.line == 0) {
    p.line = a.breaks;
    p.bytes += a.end_bytes;
    p.units += a.end_units;
  } else {
    p.line += a.breaks - (lf_after_cr ? 1 : 0);
  }
  return p;
}

}  // namespace

Utf8Check::Utf8Check() {
  for (std::size_t s = 0; s < kStates; ++s) map_[s] = static_cast<std::uint8_t>(s);
}

Utf8Check::Utf8Check(std::string_view text) : Utf8Check() {
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = at + text.size();
  // Every state is followed up to the first byte that does not continue a character: after
  // it, all the states that are still valid are the same one.
  bool synced = false;
  while (at != end && !synced) {
    const unsigned char c = *at++;
    for (std::uint8_t& s : map_) s = utf8_step(s, c);
    synced = (c & 0xC0) != 0x80;
  }
  if (!synced) return;  // only bytes that continue a character: the states stay apart
  std::uint8_t state = kReject;
  for (const std::uint8_t s : map_) {
    if (s != kReject) state = s;
  }
  if (state == kReject) {
    map_.fill(kReject);
    return;
  }
  while (at != end) {
    if (state == kAccept) {  // ASCII eight bytes at a time
      std::uint64_t word;
      while (end - at >= 8 && (std::memcpy(&word, at, 8), (word & 0x8080808080808080u) == 0)) {
        at += 8;
      }
      if (at == end) break;
    }
    state = kUtf8Next[state][*at++];
    if (state == kReject) break;
  }
  for (std::uint8_t& s : map_) {
    if (s != kReject) s = state;
  }
}

void Utf8Check::then(const Utf8Check& after) {
  for (std::uint8_t& s : map_) s = after.map_[s];
}

StretchPlaces chunk_places(std::string_view chunk, const KeywordSet& keywords,
                           const std::vector<std::size_t>& head_offsets,
                           const std::vector<std::size_t>& tail_offsets) {
  StretchPlaces p(keywords.size());
  std::vector<std::uint64_t> counts(keywords.size(), 0);
  std::vector<std::size_t> last(keywords.size(), std::string_view::npos);
  keywords.count_all(chunk, counts, last);

  // The first byte of each first occurrence: its length in bytes of words back from its end.
  std::vector<std::size_t> first(keywords.size(), std::string_view::npos);
  std::vector<std::size_t> wanted(head_offsets);
  wanted.insert(wanted.end(), tail_offsets.begin(), tail_offsets.end());
  for (std::size_t k = 0; k < keywords.size(); ++k) {
    if (counts[k] == 0) continue;
    std::size_t at = last[k];
    for (std::size_t more = keywords.keyword(k).size() - 1; more > 0;) {
      more -= !is_whitespace(chunk[--at]);
    }
    first[k] = at;
    wanted.push_back(at);
    wanted.push_back(last[k]);
  }
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());

  LineWalk walk(chunk);
  std::vector<TextPlace> places;
  places.reserve(wanted.size());
  for (const std::size_t offset : wanted) places.push_back(walk.at(offset));
  const auto place_of = [&](std::size_t offset) {
    return places[std::lower_bound(wanted.begin(), wanted.end(), offset) - wanted.begin()];
  };
  for (std::size_t k = 0; k < keywords.size(); ++k) {
    if (counts[k] == 0) continue;
    p.keywords[k] = {counts[k], place_of(first[k]), place_of(last[k])};
  }
  for (const std::size_t offset : head_offsets) p.head.push_back(place_of(offset));
  for (const std::size_t offset : tail_offsets) p.tail.push_back(place_of(offset));

  const TextPlace end = walk.at(chunk.size());
  p.breaks = end.line;
  p.end_bytes = end.bytes;
  p.end_units = end.units;
  p.starts_with_lf = !chunk.empty() && chunk.front() == '\n';
  p.ends_with_cr = !chunk.empty() && chunk.back() == '\r';
  p.has_bytes = !chunk.empty();
  p.utf8 = Utf8Check(chunk);
  return p;
}

void join_places(StretchPlaces& a, const StretchPlaces& b, std::string_view a_tail,
                 std::string_view b_head, const SeamKept& kept, const KeywordSet& keywords) {
  if (!b.has_bytes) return;
  const bool lf_after_cr = a.has_bytes && a.ends_with_cr && b.starts_with_lf;

  // Occurrences that begin in a's tail and end in b's head.
  std::vector<std::pair<std::size_t, std::size_t>> seam;
  if (!a_tail.empty() && !b_head.empty()) {
    keywords.matches_in(std::string(a_tail) + std::string(b_head), seam);
  }
  std::vector<KeywordPlaces> joined(a.keywords.size());
  for (const auto& [k, end] : seam) {
    const std::size_t length = keywords.keyword(k).size();
    if (end < a_tail.size() || end + 1 - length >= a_tail.size()) continue;
    if (joined[k].count++ == 0) {
      joined[k].first = a.tail[end + 1 - length];
      joined[k].last = moved(a, lf_after_cr, b.head[end - a_tail.size()]);
    }
  }
  for (std::size_t k = 0; k < a.keywords.size(); ++k) {
    KeywordPlaces& mine = a.keywords[k];
    const KeywordPlaces& theirs = b.keywords[k];
    if (mine.count == 0) {
      if (joined[k].count != 0) {
        mine.first = joined[k].first;
        mine.last = joined[k].last;
      } else if (theirs.count != 0) {
        mine.first = moved(a, lf_after_cr, theirs.first);
        mine.last = moved(a, lf_after_cr, theirs.last);
      }
    }
    mine.count += joined[k].count + theirs.count;
  }

  // Head and tail as Stretch keeps them (see append in scan_sources.cpp).
  if (kept.a_kept < kept.overlap) {
    for (const TextPlace& place : b.head) {
      if (a.head.size() == kept.overlap) break;
      a.head.push_back(moved(a, lf_after_cr, place));
    }
  }
  if (kept.b_kept >= kept.overlap) a.tail.clear();
  for (const TextPlace& place : b.tail) a.tail.push_back(moved(a, lf_after_cr, place));
  if (a.tail.size() > kept.overlap) {
    a.tail.erase(a.tail.begin(), a.tail.end() - static_cast<std::ptrdiff_t>(kept.overlap));
  }

  if (b.breaks == 0) {
    a.end_bytes += b.end_bytes;
    a.end_units += b.end_units;
  } else {
    a.end_bytes = b.end_bytes;
    a.end_units = b.end_units;
  }
  a.breaks += b.breaks - (lf_after_cr ? 1 : 0);
  if (!a.has_bytes) a.starts_with_lf = b.starts_with_lf;
  a.ends_with_cr = b.ends_with_cr;
  a.has_bytes = true;
  a.utf8.then(b.utf8);
}

void close_file(StretchPlaces& places, std::size_t file) {
  const bool utf8 = places.utf8.valid();
  const auto close = [&](TextPlace& p) {
    if (p.file != TextPlace::kOpen) return;
    p.file = file;
    if (utf8) p.bytes = p.units;
    p.units = p.bytes;
  };
  for (KeywordPlaces& keyword : places.keywords) {
    if (keyword.count == 0) continue;
    close(keyword.first);
    close(keyword.last);
  }
  for (TextPlace& p : places.head) close(p);
  for (TextPlace& p : places.tail) close(p);
}

}  // namespace orven
