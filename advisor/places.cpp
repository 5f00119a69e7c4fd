// Places of the keywords: lines and columns counted over each chunk while it is in memory,
// and joined across chunks and files as the scan joins its stretches.
#include "advisor/places.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "advisor/code_match.h"
#include "advisor/keyword_scan.h"
#include "advisor/suppression.h"
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

#if defined(__GNUC__)
// The compiler's generic vectors of bytes: SSE2 (or NEON) for sixteen, AVX2 for 32 where the
// processor has it. A comparison gives -1 in the lanes where it holds, 0 elsewhere.
#define ORVEN_BYTE_VECTORS 1
// The helpers below are always inlined: no vector is passed in a call, whatever the ABI.
#pragma GCC diagnostic ignored "-Wpsabi"
using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Bytes32 = unsigned char __attribute__((vector_size(32)));
using SignedBytes16 = signed char __attribute__((vector_size(16)));
using SignedBytes32 = signed char __attribute__((vector_size(32)));
template <typename V>
using Signed = std::conditional_t<sizeof(V) == 16, SignedBytes16, SignedBytes32>;

template <typename V>
[[gnu::always_inline]] inline V load(const unsigned char* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Every lane's number, for masks of the first n lanes.
constexpr std::array<unsigned char, 32> kLaneNumbers = [] {
  std::array<unsigned char, 32> numbers{};
  for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<unsigned char>(i);
  return numbers;
}();

template <typename V>
[[gnu::always_inline]] inline bool any(const V& v) {
  std::uint64_t words[sizeof(V) / 8];
  std::memcpy(words, &v, sizeof v);
  std::uint64_t all = 0;
  for (const std::uint64_t word : words) all |= word;
  return all != 0;
}

// The sum of a vector's bytes, each at most 255.
template <typename V>
[[gnu::always_inline]] inline std::uint64_t sum_of(const V& v) {
  std::uint64_t words[sizeof(V) / 8];
  std::memcpy(words, &v, sizeof v);
  std::uint64_t sum = 0;
  for (const std::uint64_t word : words) {
    const std::uint64_t pairs = (word & 0x00FF00FF00FF00FFu) + ((word >> 8) & 0x00FF00FF00FF00FFu);
    sum += (pairs * 0x0001000100010001u) >> 48;
  }
  return sum;
}
#endif

std::uint64_t units_in(const unsigned char* from, const unsigned char* to) {
  std::uint64_t units = 0;
#ifdef ORVEN_BYTE_VECTORS
  // Sixteen bytes at a time: a lane counts at most two a block, so a byte of counts holds
  // 127 blocks.
  while (to - from >= 16) {
    Bytes16 counts{};
    const std::size_t blocks = std::min<std::size_t>(static_cast<std::size_t>(to - from) / 16, 127);
    for (std::size_t b = 0; b < blocks; ++b, from += 16) {
      const Bytes16 v = load<Bytes16>(from);
      counts -= (Bytes16)((v & 0xC0) != 0x80) + (Bytes16)(v >= 0xF0);
    }
    units += sum_of(counts);
  }
#endif
  for (; from != to; ++from) units += units_of(*from);
  return units;
}

// UTF-8 as a rule on each byte and the three before it, when every character before the
// first byte so tried is whole: a byte continues a character (0x80 to 0xBF) exactly when a
// lead byte one, two or three bytes before asks for it; the second bytes after E0, ED, F0
// and F4 keep to their narrower ranges (no overlong forms, no surrogates, nothing above
// U+10FFFF); C0, C1 and F5 to FF never occur. True when the byte at p breaks it.
bool breaks_utf8(const unsigned char* p) {
  const unsigned char c = p[0];
  const unsigned char b1 = p[-1];
  const bool asked = b1 >= 0xC0 || p[-2] >= 0xE0 || p[-3] >= 0xF0;
  return ((c & 0xC0) == 0x80) != asked || c == 0xC0 || c == 0xC1 || c >= 0xF5 ||
         (b1 == 0xE0 && c < 0xA0) || (b1 == 0xED && c > 0x9F) || (b1 == 0xF0 && c < 0x90) ||
         (b1 == 0xF4 && c > 0x8F);
}

// What one pass over a stretch of a chunk finds: its line breaks (every LF and every CR,
// less each CR LF pair inside it), and whether a byte of it from `tried` on breaks the rule
// above.
struct Tally {
  std::uint64_t breaks = 0;
  bool broken = false;
};

#ifdef ORVEN_BYTE_VECTORS
// The blocks of tally below, sizeof(V) bytes at a time: a lane of `counts` gains one for a
// CR or an LF and loses it again for a CR before an LF, so it gains at most one a block. The
// UTF-8 rule is tried a run of blocks at a time, without a branch a block: text that holds
// only ASCII and two-byte characters (Cyrillic, say) needs only its two-byte part, since
// only the byte before can ask for a continuation; a run that holds or follows a byte of
// longer characters (or C0, C1, F5 to FF) is tried again whole. The bytes up to `limit` may
// be read: where they reach, the last piece of the stretch shorter than a block (but not
// shorter than eight bytes) is a block too, with the lanes past the stretch masked. Leaves p
// where the blocks end.
template <typename V>
[[gnu::always_inline]] inline Tally tally_blocks(const unsigned char*& p, const unsigned char* end,
                                                 const unsigned char* limit) {
  constexpr std::size_t kWidth = sizeof(V);
  const V lanes = load<V>(kLaneNumbers.data());
  Tally t;
  V error{};
  // The whole rule on the block at `at`, in the lanes of `in`.
  const auto whole_rule = [&](const unsigned char* at, const V& in) __attribute__((always_inline)) {
    const V v = load<V>(at);
    const V before1 = load<V>(at - 1);
    const V asked =
        (V)(before1 >= 0xC0) | (V)(load<V>(at - 2) >= 0xE0) | (V)(load<V>(at - 3) >= 0xF0);
    V wrong = (V)((v & 0xC0) == 0x80) ^ asked;
    wrong |= (V)(v == 0xC0) | (V)(v == 0xC1) | (V)(v >= 0xF5);
    wrong |= ((V)(before1 == 0xE0) & (V)(v < 0xA0)) | ((V)(before1 == 0xED) & (V)(v > 0x9F));
    wrong |= ((V)(before1 == 0xF0) & (V)(v < 0x90)) | ((V)(before1 == 0xF4) & (V)(v > 0x8F));
    error |= wrong & in;
  };
  const V all = (V)(lanes == lanes);
  while (static_cast<std::size_t>(end - p) >= kWidth + 1) {
    const std::size_t blocks =
        std::min<std::size_t>(static_cast<std::size_t>(end - p - 1) / kWidth, 255);
    const unsigned char* const run = p;
    V counts{};
    V two_byte_error{};
    V highest = load<V>(run - 3);  // a lead byte just before the run counts too
    V lowest_c0 = ~V{};            // the least byte ^ 0xC0: C0 and C1 give 0 and 1
    for (std::size_t b = 0; b < blocks; ++b, p += kWidth) {
      const V v = load<V>(p);
      counts -= (V)(v == '\n');
      counts -= (V)(v == '\r') & ~(V)(load<V>(p + 1) == '\n');
      // A byte continues a character (0x80 to 0xBF) when as a signed one it is below -64.
      const V continues = (V)((Signed<V>)v < -64);
      two_byte_error |= continues ^ (V)(load<V>(p - 1) >= 0xC0);
      highest = highest > v ? highest : v;
      const V c0 = v ^ 0xC0;
      lowest_c0 = lowest_c0 < c0 ? lowest_c0 : c0;
    }
    t.breaks += sum_of(counts);
    if (!any((V)(highest >= 0xE0) | (V)(lowest_c0 < 2))) {
      error |= two_byte_error;
    } else {
      for (const unsigned char* at = run; at != p; at += kWidth) whole_rule(at, all);
    }
  }
  // A few bytes (a keyword's, a head's) cost less one by one.
  if (end - p >= 8 && static_cast<std::size_t>(limit - p) >= kWidth + 1) {
    const auto left = static_cast<unsigned char>(end - p);
    const V in = (V)(lanes < left);
    const V v = load<V>(p);
    const V is_cr = (V)(v == '\r') & in;
    V counts = V{} - (is_cr | ((V)(v == '\n') & in));
    counts += is_cr & (V)(load<V>(p + 1) == '\n') & (V)(lanes + 1 < left);
    t.breaks += sum_of(counts);
    whole_rule(p, in);
    p = end;
  }
  t.broken = any(error);
  return t;
}

Tally tally_blocks16(const unsigned char*& p, const unsigned char* end,
                     const unsigned char* limit) {
  return tally_blocks<Bytes16>(p, end, limit);
}

#if defined(__x86_64__) && !defined(_WIN32)
// (Not on Windows: MinGW's GCC does not align the stack for AVX.)
#define ORVEN_AVX2 1
[[gnu::target("avx2")]] Tally tally_blocks32(const unsigned char*& p, const unsigned char* end,
                                             const unsigned char* limit) {
  return tally_blocks<Bytes32>(p, end, limit);
}
const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif
#endif

// The bytes up to `limit` may be read.
Tally tally(const unsigned char* from, const unsigned char* end, const unsigned char* tried,
            const unsigned char* limit) {
  Tally t;
  const unsigned char* p = from;
  const auto one = [&](const unsigned char* at) {
    if (*at == '\n') ++t.breaks;
    if (*at == '\r' && !(at + 1 != end && at[1] == '\n')) ++t.breaks;
    if (at >= tried && breaks_utf8(at)) t.broken = true;
  };
  for (; p != end && p < tried; ++p) one(p);
#ifdef ORVEN_BYTE_VECTORS
#ifdef ORVEN_AVX2
  const Tally blocks = kHasAvx2 ? tally_blocks32(p, end, limit) : tally_blocks16(p, end, limit);
#else
  const Tally blocks = tally_blocks16(p, end, limit);
#endif
  t.breaks += blocks.breaks;
  t.broken = t.broken || blocks.broken;
#endif
  for (; p != end; ++p) one(p);
  return t;
}

// Walks a chunk forward, counting line breaks and the columns since the last one.
class LineWalk {
 public:
  // The UTF-8 rule is tried on the bytes from `tried` on.
  LineWalk(std::string_view chunk, std::size_t tried)
      : bytes_(reinterpret_cast<const unsigned char*>(chunk.data())),
        tried_(bytes_ + tried),
        limit_(bytes_ + chunk.size()),
        size_(chunk.size()) {}

  TextPlace at(std::size_t offset) {
    advance(offset);
    TextPlace place;
    place.line = breaks_;
    place.bytes = offset - line_start_;
    place.units = units_;
    place.span_bytes = span_bytes_;
    place.span_chars = span_chars_;
    return place;
  }
  bool broken() const { return broken_; }

 private:
  // Line breaks are counted in one pass with the UTF-8 rule, and the columns from the last
  // break only.
  void advance(std::size_t to) {
    if (to == pos_) return;
    const unsigned char* const from = bytes_ + pos_;
    const unsigned char* const end = bytes_ + to;
    const Tally t = tally(from, end, tried_, limit_);
    std::uint64_t breaks = t.breaks;
    broken_ = broken_ || t.broken;
    // An LF at the start of the range right after a CR before it ends no line of its own.
    if (pos_ > 0 && from[-1] == '\r' && *from == '\n') --breaks;
    // A break char in the range: with no break counted, that can only be an LF right after
    // a CR before the range.
    if (breaks == 0 && (from == end || *from != '\n')) {
      units_ += units_in(from, end);
      add_display(span_bytes_, span_chars_, bytes_, pos_, to, size_);
    } else {
      const unsigned char* line = end;
      while (line != from && line[-1] != '\n' && line[-1] != '\r') --line;
      line_start_ = static_cast<std::size_t>(line - bytes_);
      units_ = units_in(line, end);
      span_bytes_ = {};
      span_chars_ = {};
      add_display(span_bytes_, span_chars_, bytes_, line_start_, to, size_);
    }
    breaks_ += breaks;
    pos_ = to;
  }

  const unsigned char* bytes_;
  const unsigned char* tried_;
  const unsigned char* limit_;
  bool broken_ = false;
  std::size_t pos_ = 0;
  std::uint64_t breaks_ = 0;
  std::size_t line_start_ = 0;
  std::uint64_t units_ = 0;
  std::size_t size_;
  DisplaySpan span_bytes_;
  DisplaySpan span_chars_;
};

// The place of the byte at `to`, from the place of the one at `from` before it, byte by byte:
// for the few bytes of a keyword, a head or a tail.
TextPlace step_to(TextPlace place, const unsigned char* bytes, std::size_t from, std::size_t to,
                  std::size_t size) {
  for (std::size_t i = from; i < to; ++i) {
    const unsigned char c = bytes[i];
    if (c == '\r' || (c == '\n' && (i == 0 || bytes[i - 1] != '\r'))) {
      ++place.line;
      place.bytes = 0;
      place.units = 0;
      place.span_bytes = {};
      place.span_chars = {};
    } else if (c != '\n') {
      ++place.bytes;
      place.units += units_of(c);
      add_display(place.span_bytes, place.span_chars, bytes, i, i + 1, size);
    }
  }
  return place;
}

// True when a piece of the keyword other than its start begins the head: an occurrence may
// run into it from before.
bool may_run_into(std::string_view keyword, std::string_view head) {
  if (head.empty()) return false;
  for (std::size_t i = 1; i < keyword.size(); ++i) {
    const std::size_t n = std::min(keyword.size() - i, head.size());
    if (head[0] == keyword[i] && head.substr(0, n) == keyword.substr(i, n)) return true;
  }
  return false;
}

// True when a piece of the keyword other than its end ends the tail: an occurrence may run
// out of it.
bool may_run_out_of(std::string_view keyword, std::string_view tail) {
  if (tail.empty()) return false;
  for (std::size_t i = 1; i < keyword.size(); ++i) {
    const std::size_t n = std::min(i, tail.size());
    if (tail.back() == keyword[i - 1] && tail.substr(tail.size() - n) == keyword.substr(i - n, n)) {
      return true;
    }
  }
  return false;
}

// Whether a place of a whole file can ever be a first place (WholeFile).
bool places_wanted(const WholeFile& whole, const KeywordSet& keywords,
                   std::span<const std::uint64_t> counts) {
  bool open = false;
  for (std::size_t k = 0; k < keywords.size(); ++k) {
    if (whole.settled[k] != 0) continue;
    if (counts[k] != 0) return true;
    open = true;
  }
  if (!open || whole.edges_closed) return false;
  // Over a known edge: the occurrences in the words on both sides of it. (One that runs over
  // both edges of a small file has its first and its last byte in other files: the places of
  // this one are never asked for.)
  std::string text;
  std::vector<std::pair<std::size_t, std::size_t>> matches;
  const auto over = [&](std::size_t seam) {
    for (const auto& [k, end] : matches) {
      if (whole.settled[k] == 0 && end + 1 < seam + keywords.keyword(k).size() && end >= seam) {
        return true;
      }
    }
    return false;
  };
  if (whole.before != nullptr) {
    text.append(*whole.before).append(whole.head);
    keywords.matches_in(text, matches);
    if (over(whole.before->size())) return true;
  }
  if (whole.after != nullptr) {
    text.assign(whole.tail).append(*whole.after);
    matches.clear();
    keywords.matches_in(text, matches);
    if (over(whole.tail.size())) return true;
  }
  // Over an edge whose other side is not known: any keyword that could.
  for (std::size_t k = 0; k < keywords.size(); ++k) {
    if (whole.settled[k] != 0) continue;
    if ((whole.before == nullptr && may_run_into(keywords.keyword(k), whole.head)) ||
        (whole.after == nullptr && may_run_out_of(keywords.keyword(k), whole.tail))) {
      return true;
    }
  }
  return false;
}

// Where a chunk's edges cut characters (StretchPlaces::open_char, lead_conts).
void cut_characters(StretchPlaces& p, const unsigned char* bytes, std::size_t size) {
  std::size_t conts = 0;
  while (conts < size && (bytes[conts] & 0xC0) == 0x80) ++conts;
  p.lead_conts.assign(bytes, bytes + std::min<std::size_t>(conts, 3));
  p.only_conts = size != 0 && conts == size;
  p.open_char.clear();
  if (p.only_conts) return;
  for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
    const unsigned char c = bytes[size - back];
    if ((c & 0xC0) == 0x80) continue;
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (length > back) p.open_char.assign(bytes + size - back, bytes + size);
    break;
  }
}

// The display width of a character that a's end begins and b's start finishes; 0 when none.
unsigned cut_width(const StretchPlaces& a, const StretchPlaces& b) {
  if (a.open_char.empty() || b.lead_conts.empty()) return 0;
  const std::string both = a.open_char + b.lead_conts;
  const CharWidth w =
      utf8_char_width(reinterpret_cast<const unsigned char*>(both.data()), both.size());
  return w.length == 0 ? 0 : w.width;
}

// The offsets where the chunk's lines start, counted as TextPlace counts them (an LF at the
// chunk's start ends a line), and the line of an offset.
std::vector<std::size_t> line_starts(std::string_view chunk) {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    if (chunk[i] == '\r' || (chunk[i] == '\n' && (i == 0 || chunk[i - 1] != '\r'))) {
      starts.push_back(i + 1);
    }
  }
  return starts;
}

std::size_t line_of(const std::vector<std::size_t>& starts, std::size_t at) {
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) -
                                  starts.begin() - 1);
}

// The pairs of b joined after a's, with the occurrences across the seam between them (as
// join_places finds them); a's keywords are still a's alone.
void join_left(StretchPlaces& a, const Edges& a_edges, const StretchPlaces& b, const Edges& b_edges,
               std::span<const std::pair<std::size_t, std::size_t>> seam, std::size_t a_tail,
               const KeywordSet& keywords, const PlaceShift& before, const MarkerRules& rules) {
  std::vector<RuleKeyword> pairs;
  for (const auto& [pair, places] : a.left) pairs.push_back(pair);
  for (const auto& [pair, places] : b.left) pairs.push_back(pair);
  const auto across = [&](std::size_t k, std::size_t end) {
    const std::size_t length = keywords.keyword(k).size();
    return end >= a_tail && end + 1 - length < a_tail;
  };
  const auto off = [&](std::size_t k, std::size_t end, std::size_t rule) {
    return !a_edges.tail_off.empty() &&
           a_edges.tail_off[end + 1 - keywords.keyword(k).size()].test(rule);
  };
  for (const auto& [k, end] : seam) {
    if (!across(k, end) || a_edges.tail_off.empty()) continue;
    for (const std::size_t rule : rules.rules_of[k]) {
      if (off(k, end, rule)) pairs.push_back({rule, k});
    }
  }
  if (pairs.empty()) return;
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  LeftPlaces left;
  for (const RuleKeyword& pair : pairs) {
    const auto mine = a.left.find(pair);
    KeywordPlaces joined = mine != a.left.end() ? mine->second : a.keywords[pair.keyword];
    for (const auto& [k, end] : seam) {
      if (k != pair.keyword || !across(k, end) || off(k, end, pair.rule)) continue;
      if (joined.count++ == 0) {
        joined.first = a_edges.tail_places[end + 1 - keywords.keyword(k).size()];
        joined.last = before.moved(b_edges.head_places[end - a_tail]);
      }
    }
    const auto theirs_at = b.left.find(pair);
    const KeywordPlaces& theirs =
        theirs_at != b.left.end() ? theirs_at->second : b.keywords[pair.keyword];
    if (theirs.count != 0) {
      if (joined.count == 0) {
        joined.first = before.moved(theirs.first);
        joined.last = before.moved(theirs.last);
      }
      joined.count += theirs.count;
    }
    left.emplace(pair, joined);
  }
  a.left = std::move(left);
}

}  // namespace

TextPlace PlaceShift::moved(TextPlace p) const {
  if (p.file != TextPlace::kOpen) return p;  // in a file that is done: it stays
  if (p.line == 0) {
    p.line = a.breaks;
    p.bytes += a.end_bytes;
    p.units += a.end_units;
    p.span_bytes = span_bytes.then(p.span_bytes);
    p.span_chars = span_chars.then(p.span_chars);
  } else {
    p.line += a.breaks - (lf_after_cr ? 1 : 0);
  }
  return p;
}

Utf8Check::Utf8Check() {
  for (std::size_t s = 0; s < kStates; ++s) map_[s] = static_cast<std::uint8_t>(s);
}

Utf8Check::Utf8Check(std::string_view text) : Utf8Check(begin(text)) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (whole_from_ < text.size()) {
    finish(text,
           tally(bytes + whole_from_, bytes + text.size(), bytes + whole_from_, bytes + text.size())
               .broken);
  }
}

Utf8Check Utf8Check::begin(std::string_view text) {
  Utf8Check check;
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = 0;
  // Every state is followed up to the first byte that does not continue a character: after
  // it, all the states that are still valid are the same one.
  bool synced = false;
  while (at < text.size() && !synced) {
    const unsigned char c = bytes[at++];
    for (std::uint8_t& s : check.map_) s = utf8_step(s, c);
    synced = (c & 0xC0) != 0x80;
  }
  check.whole_from_ = text.size();
  if (!synced) return check;  // only bytes that continue a character: the states stay apart
  std::uint8_t state = kReject;
  for (const std::uint8_t s : check.map_) {
    if (s != kReject) state = s;
  }
  // On to a character's end at least three bytes in, from where the rule can be tried.
  while (at < text.size() && state != kReject && (state != kAccept || at < 3)) {
    state = kUtf8Next[state][bytes[at++]];
  }
  for (std::uint8_t& s : check.map_) {
    if (s != kReject) s = state;
  }
  if (state == kAccept) check.whole_from_ = at;
  return check;
}

void Utf8Check::finish(std::string_view text, bool broken) {
  if (whole_from_ >= text.size()) return;
  std::uint8_t state = kReject;
  if (!broken) {
    // The rule leaves the last character open: it is decoded from its lead byte.
    const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t at = text.size();
    for (std::size_t back = 1; back <= 3 && text.size() - back >= whole_from_; ++back) {
      const unsigned char c = bytes[text.size() - back];
      if ((c & 0xC0) == 0x80) continue;
      const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (length > back) at = text.size() - back;
      break;
    }
    state = kAccept;
    while (at < text.size() && state != kReject) state = kUtf8Next[state][bytes[at++]];
  }
  for (std::uint8_t& s : map_) {
    if (s != kReject) s = state;
  }
  whole_from_ = text.size();
}

void Utf8Check::then(const Utf8Check& after) {
  for (std::uint8_t& s : map_) s = after.map_[s];
}

StretchPlaces chunk_places(std::string_view chunk, const KeywordSet& keywords, Edges& edges,
                           const std::vector<std::size_t>& head_offsets,
                           const std::vector<std::size_t>& tail_offsets, const WholeFile* whole,
                           const OccurrenceFilter* keep) {
  StretchPlaces p(keywords.size());
  std::vector<std::uint64_t> counts(keywords.size(), 0);
  std::vector<std::size_t> last(keywords.size(), std::string_view::npos);
  keywords.count_all(chunk, counts, last, keep);
  if (whole != nullptr && !places_wanted(*whole, keywords, counts)) {
    for (std::size_t k = 0; k < keywords.size(); ++k) p.keywords[k].count = counts[k];
    // Places that no seam reads (see join_places), as many as the head and tail keep.
    edges.head_places.resize(head_offsets.size());
    edges.tail_places.resize(tail_offsets.size());
    p.counts_only = true;
    return p;
  }
  const auto* const bytes = reinterpret_cast<const unsigned char*>(chunk.data());

  // The first byte of each first occurrence (its length in bytes of words back from its
  // end), and the tail's first byte, in the order of the text: the line walk goes forward
  // only, and the few bytes on to a keyword's last byte or through a tail are stepped over
  // from where they begin. (A keyword spread over many blanks has its last byte walked to as
  // well, so that no byte is stepped over again and again.)
  constexpr std::size_t kLongestStep = 64;
  const std::size_t n = keywords.size();
  const std::size_t tail = 2 * n;  // the codes: k for keyword k's first byte, n + k its last
  std::vector<std::pair<std::size_t, std::size_t>> starts;  // (offset, code)
  for (std::size_t k = 0; k < n; ++k) {
    if (counts[k] == 0) continue;
    std::size_t at = last[k];
    for (std::size_t more = keywords.keyword(k).size() - 1; more > 0;) {
      more -= !is_whitespace(chunk[--at]);
    }
    starts.emplace_back(at, k);
    if (last[k] - at > kLongestStep) starts.emplace_back(last[k], n + k);
  }
  if (!tail_offsets.empty()) starts.emplace_back(tail_offsets.front(), tail);
  std::sort(starts.begin(), starts.end());

  Utf8Check utf8 = Utf8Check::begin(chunk);
  LineWalk walk(chunk, utf8.whole_from());
  for (const auto& [offset, code] : starts) {
    const TextPlace place = walk.at(offset);
    if (code < n) {
      p.keywords[code].count = counts[code];
      p.keywords[code].first = place;
      if (last[code] - offset <= kLongestStep) {
        p.keywords[code].last = step_to(place, bytes, offset, last[code], chunk.size());
      }
    } else if (code < tail) {
      p.keywords[code - n].last = place;
    } else {
      std::vector<TextPlace>& tail_places = edges.tail_places;
      tail_places.reserve(tail_offsets.size());
      tail_places.push_back(place);
      for (std::size_t i = 1; i < tail_offsets.size(); ++i) {
        tail_places.push_back(
            step_to(tail_places.back(), bytes, tail_offsets[i - 1], tail_offsets[i], chunk.size()));
      }
    }
  }
  edges.head_places.reserve(head_offsets.size());
  std::size_t from = 0;
  TextPlace place;
  for (const std::size_t offset : head_offsets) {
    place = step_to(place, bytes, from, offset, chunk.size());
    from = offset;
    edges.head_places.push_back(place);
  }

  const TextPlace end = walk.at(chunk.size());
  p.breaks = end.line;
  p.end_bytes = end.bytes;
  p.end_units = end.units;
  p.end_span_bytes = end.span_bytes;
  p.end_span_chars = end.span_chars;
  cut_characters(p, bytes, chunk.size());
  p.starts_with_lf = !chunk.empty() && chunk.front() == '\n';
  p.ends_with_cr = !chunk.empty() && chunk.back() == '\r';
  utf8.finish(chunk, walk.broken());
  p.utf8 = utf8;
  return p;
}

void chunk_markers(StretchPlaces& p, Edges& edges, std::string_view chunk,
                   const KeywordSet& keywords, const MarkerRules& rules,
                   const std::vector<std::size_t>& tail_offsets, const ChunkLines& lines,
                   const OccurrenceFilter* keep) {
  if (lines.open_line) return;
  std::vector<Marker> markers;
  if (rules.marker_start >= p.keywords.size() || p.keywords[rules.marker_start].count != 0) {
    // The first line of a chunk that closes a long one: the reader read its markers.
    std::size_t from = 0;
    if (lines.closes_line) from = std::min(chunk.find_first_of("\r\n"), chunk.size());
    for (std::optional<Marker> m = next_marker(chunk, from); m; m = next_marker(chunk, m->end)) {
      markers.push_back(*m);
    }
  }
  if (markers.empty() && lines.first_off.none() && lines.second_off.none()) return;

  // The rules off on each line that any are off on.
  const std::vector<std::size_t> starts = line_starts(chunk);
  std::map<std::size_t, RuleSet> off;
  if (lines.first_off.any()) off[0] |= lines.first_off;
  if (lines.second_off.any()) off[1] |= lines.second_off;
  for (const Marker& m : markers) {
    if (m.rules.none()) continue;
    const std::size_t line = line_of(starts, m.begin);
    switch (m.scope) {
      case Marker::Scope::line:
        off[line] |= m.rules;
        break;
      case Marker::Scope::next_line:
        off[line + 1] |= m.rules;
        break;
      case Marker::Scope::file:
        p.file_off |= m.rules;
        break;
    }
  }
  if (off.empty()) return;
  const RuleSet none;
  const auto off_at = [&](std::size_t at) -> const RuleSet& {
    const auto found = off.find(line_of(starts, at));
    return found == off.end() ? none : found->second;
  };
  edges.tail_off.clear();
  for (const std::size_t offset : tail_offsets) edges.tail_off.push_back(off_at(offset));

  // Every occurrence: the pairs with one turned off, and for those the occurrences left.
  struct Occurrence {
    std::size_t keyword, begin, last;
    const RuleSet* off;
  };
  std::vector<std::pair<std::size_t, std::size_t>> matches;
  keywords.matches_in_words(chunk, matches);
  std::vector<Occurrence> occurrences;
  std::vector<RuleKeyword> turned_off;
  for (const auto& [k, last] : matches) {
    if (rules.rules_of[k].empty() || (keep != nullptr && !keep->keep(k, last))) continue;
    const std::size_t begin = keywords.first_byte(chunk, k, last);
    const RuleSet& o = off_at(begin);
    occurrences.push_back({k, begin, last, &o});
    for (const std::size_t rule : rules.rules_of[k]) {
      if (o.test(rule)) turned_off.push_back({rule, k});
    }
  }
  if (turned_off.empty()) return;
  std::sort(turned_off.begin(), turned_off.end());
  turned_off.erase(std::unique(turned_off.begin(), turned_off.end()), turned_off.end());
  struct Left {
    std::uint64_t count = 0;
    std::size_t begin = std::string_view::npos;
    std::size_t last = 0;
  };
  std::vector<Left> left(turned_off.size());
  for (const Occurrence& o : occurrences) {
    for (const std::size_t rule : rules.rules_of[o.keyword]) {
      if (o.off->test(rule)) continue;
      const auto at =
          std::lower_bound(turned_off.begin(), turned_off.end(), RuleKeyword{rule, o.keyword});
      if (at == turned_off.end() || *at != RuleKeyword{rule, o.keyword}) continue;
      Left& l = left[static_cast<std::size_t>(at - turned_off.begin())];
      ++l.count;
      if (o.begin < l.begin) {
        l.begin = o.begin;
        l.last = o.last;
      }
    }
  }
  // The places of the first occurrences left, walked to in order.
  std::vector<std::size_t> offsets;
  for (const Left& l : left) {
    if (l.count == 0) continue;
    offsets.push_back(l.begin);
    offsets.push_back(l.last);
  }
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  std::vector<TextPlace> places;
  LineWalk walk(chunk, Utf8Check::begin(chunk).whole_from());
  for (const std::size_t offset : offsets) places.push_back(walk.at(offset));
  const auto place = [&](std::size_t offset) {
    return places[static_cast<std::size_t>(
        std::lower_bound(offsets.begin(), offsets.end(), offset) - offsets.begin())];
  };
  for (std::size_t i = 0; i < turned_off.size(); ++i) {
    KeywordPlaces kept;
    kept.count = left[i].count;
    if (kept.count != 0) {
      kept.first = place(left[i].begin);
      kept.last = place(left[i].last);
    }
    p.left.emplace(turned_off[i], kept);
  }
}

void turn_off(StretchPlaces& p, Edges& edges, const RuleSet& off, const MarkerRules& rules) {
  if (off.none()) return;
  for (std::size_t k = 0; k < p.keywords.size(); ++k) {
    for (const std::size_t rule : rules.rules_of[k]) {
      if (!off.test(rule)) continue;
      const auto held = p.left.find({rule, k});
      if (held != p.left.end()) {
        held->second = KeywordPlaces{};
      } else if (p.keywords[k].count != 0) {
        p.left.emplace(RuleKeyword{rule, k}, KeywordPlaces{});
      }
    }
  }
  edges.tail_off.resize(edges.tail_places.size());
  for (RuleSet& at : edges.tail_off) at |= off;
}

namespace {

// One side of an edge put after another's: a head grows from b's while it is shorter than
// `overlap`; a tail is b's when b's fills it, else a's followed by b's, its end kept.
template <class Seq, class Move>
void join_side(Seq& head, Seq& tail, const Seq& b_head, const Seq& b_tail, bool head_open,
               bool b_fills, std::size_t overlap, const Move& move) {
  if (head_open) {
    for (std::size_t i = 0; i < b_head.size() && head.size() < overlap; ++i) {
      head.push_back(move(b_head[i]));
    }
  }
  if (b_fills) tail.clear();
  for (const auto& x : b_tail) tail.push_back(move(x));
  if (tail.size() > overlap) {
    tail.erase(tail.begin(), tail.end() - static_cast<std::ptrdiff_t>(overlap));
  }
}

}  // namespace

void join_edges(Edges& a, const Edges& b, std::size_t overlap, const PlaceShift* shift) {
  if (!b.has_bytes) return;
  if (!a.has_bytes) {
    a = b;
  } else {
    const bool head_open = a.kept() < overlap;
    const bool b_fills = b.kept() >= overlap;
    const auto same = [](const auto& x) { return x; };
    join_side(a.head, a.tail, b.head, b.tail, head_open, b_fills, overlap, same);
    join_side(a.head_code, a.tail_code, b.head_code, b.tail_code, head_open, b_fills, overlap,
              same);
    if (shift != nullptr) {
      const auto move = [&](const TextPlace& p) { return shift->moved(p); };
      if (!a.tail_off.empty() || !b.tail_off.empty()) {  // as the tail's places
        a.tail_off.resize(a.tail_places.size());
        std::vector<RuleSet> b_off = b.tail_off;
        b_off.resize(b.tail_places.size());
        join_side(a.tail_off, a.tail_off, {}, b_off, false, b_fills, overlap, same);
      }
      join_side(a.head_places, a.tail_places, b.head_places, b.tail_places, head_open, b_fills,
                overlap, move);
    }
    if (b.word.empty()) {  // whitespace only: the last word stays, but it is over
      a.ends_in_word = false;
    } else if (b.word_at_start && a.ends_in_word) {  // the word runs on into b
      a.word += b.word;
      if (a.word.size() > kWordKept) a.word.erase(0, a.word.size() - kWordKept);
      a.ends_in_word = b.ends_in_word;
    } else {
      a.word = b.word;
      a.word_at_start = false;
      a.ends_in_word = b.ends_in_word;
    }
  }
  if (shift == nullptr) {
    a.head_places.clear();
    a.tail_places.clear();
    a.tail_off.clear();
  }
}

void join_places(StretchPlaces& a, Edges& a_edges, const StretchPlaces& b, const Edges& b_edges,
                 std::size_t overlap, bool seam, const KeywordSet& keywords,
                 const MarkerRules* rules, std::span<const KeywordKind> kinds) {
  if (!b_edges.has_bytes) return;
  const bool a_has_bytes = a_edges.has_bytes;
  PlaceShift before{a, a.end_span_bytes, a.end_span_chars,
                    a_has_bytes && a.ends_with_cr && b.starts_with_lf};
  before.span_chars.add(cut_width(a, b));

  // Occurrences that begin in a's tail and end in b's head.
  const std::string_view a_tail = seam ? std::string_view(a_edges.tail) : std::string_view();
  const std::string_view b_head = seam ? std::string_view(b_edges.head) : std::string_view();
  const bool code = a_edges.code;
  std::vector<std::pair<std::size_t, std::size_t>> seam_matches;
  std::string both;
  std::string both_code;  // their CodeBytes, in code
  if (!a_tail.empty() && !b_head.empty()) {
    both.reserve(a_tail.size() + b_head.size());
    both.append(a_tail).append(b_head);
    keywords.matches_in(both, seam_matches);
    if (code) both_code.append(a_edges.tail_code).append(b_edges.head_code);
  }
  if (rules != nullptr) {
    join_left(a, a_edges, b, b_edges, seam_matches, a_tail.size(), keywords, before, *rules);
  }
  std::vector<KeywordPlaces> joined;  // by keyword, made for a seam that holds one only
  for (const auto& [k, end] : seam_matches) {
    const std::size_t length = keywords.keyword(k).size();
    if (end < a_tail.size() || end + 1 - length >= a_tail.size()) continue;
    if (code && !counts_in_code(
                    std::string_view(both).substr(end + 1 - length, length),
                    std::span(reinterpret_cast<const CodeByte*>(both_code.data()), both_code.size())
                        .subspan(end + 1 - length, length),
                    kinds[k])) {
      continue;
    }
    if (joined.empty()) joined.resize(a.keywords.size());
    // Places only for a first occurrence: a stretch that keeps its counts only (chunk_places)
    // may then have none at its edges.
    if (joined[k].count++ == 0 && a.keywords[k].count == 0) {
      joined[k].first = a_edges.tail_places[end + 1 - length];
      joined[k].last = before.moved(b_edges.head_places[end - a_tail.size()]);
    }
  }
  const KeywordPlaces none;
  for (std::size_t k = 0; k < a.keywords.size(); ++k) {
    KeywordPlaces& mine = a.keywords[k];
    const KeywordPlaces& theirs = b.keywords[k];
    const KeywordPlaces& across = joined.empty() ? none : joined[k];
    if (mine.count == 0) {
      if (across.count != 0) {
        mine.first = across.first;
        mine.last = across.last;
      } else if (theirs.count != 0) {
        mine.first = before.moved(theirs.first);
        mine.last = before.moved(theirs.last);
      }
    }
    mine.count += across.count + theirs.count;
  }
  a.file_off |= b.file_off;
  // The edges, while a's lines are still its own (the shift reads them).
  join_edges(a_edges, b_edges, overlap, &before);

  if (b.breaks == 0) {
    a.end_bytes += b.end_bytes;
    a.end_units += b.end_units;
    a.end_span_bytes = before.span_bytes.then(b.end_span_bytes);
    a.end_span_chars = before.span_chars.then(b.end_span_chars);
  } else {
    a.end_bytes = b.end_bytes;
    a.end_units = b.end_units;
    a.end_span_bytes = b.end_span_bytes;
    a.end_span_chars = b.end_span_chars;
  }
  // The characters cut by the joined stretch's edges.
  if (!a_has_bytes) {
    a.lead_conts = b.lead_conts;
    a.only_conts = b.only_conts;
    a.open_char = b.open_char;
  } else {
    std::string open = b.open_char;
    if (b.only_conts) {
      open = a.open_char.empty() ? std::string() : a.open_char + b.lead_conts;
      const auto* const bytes = reinterpret_cast<const unsigned char*>(open.data());
      if (!open.empty() && (utf8_char_width(bytes, open.size()).length != 0 || open.size() > 4)) {
        open.clear();  // finished by b
      }
    }
    if (a.only_conts) {
      a.lead_conts = (a.lead_conts + b.lead_conts).substr(0, 3);
      a.only_conts = b.only_conts;
    }
    a.open_char = std::move(open);
  }
  a.breaks += b.breaks - (before.lf_after_cr ? 1 : 0);
  if (!a_has_bytes) a.starts_with_lf = b.starts_with_lf;
  a.ends_with_cr = b.ends_with_cr;
  a.utf8.then(b.utf8);
}

void close_file(StretchPlaces& places, Edges& edges, std::size_t file) {
  const bool utf8 = places.utf8.valid();
  const auto close = [&](TextPlace& p) {
    if (p.file != TextPlace::kOpen) return;
    p.file = file;
    if (utf8) p.bytes = p.units;
    p.units = p.bytes;
    p.display = (utf8 ? p.span_chars : p.span_bytes).apply(0);
  };
  for (KeywordPlaces& keyword : places.keywords) {
    if (keyword.count == 0) continue;
    close(keyword.first);
    close(keyword.last);
  }
  for (auto& [pair, left] : places.left) {
    if (left.count == 0) continue;
    close(left.first);
    close(left.last);
  }
  for (TextPlace& p : edges.head_places) close(p);
  for (TextPlace& p : edges.tail_places) close(p);
}

}  // namespace orven
