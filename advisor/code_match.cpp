// The check of an occurrence in code.
#include "advisor/code_match.h"

#include <array>
#include <bit>
#include <string>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && !defined(_WIN32)
// Thirty-two bytes a step where the processor has AVX2 (not on Windows: MinGW's GCC does not
// align the stack for AVX).
#define ORVEN_SKIM_AVX2 1
#include <immintrin.h>
#endif

#include "base/whitespace.h"

namespace orven {

namespace {

bool is_word(int c) {
  return c >= 0 && is_word_byte(static_cast<unsigned char>(c));
}

// The class every byte of words of an occurrence of the kind must have; the first byte of a
// directive is the "#".
CodeClass wanted(KeywordKind kind, bool first) {
  switch (kind) {
    case KeywordKind::directive:
      return first ? CodeClass::directive : CodeClass::code;
    case KeywordKind::header:
      return CodeClass::header;
    case KeywordKind::tag:
    case KeywordKind::tag_name:
      return CodeClass::tag;
    case KeywordKind::open_tag:
      return CodeClass::open_tag;
    default:
      return CodeClass::code;
  }
}

// Whether a byte of this class can be part of an occurrence that counts: never in a
// comment, a literal or markup text (wanted() asks for none of them).
constexpr bool may_count(CodeClass c) {
  return c != CodeClass::comment && c != CodeClass::literal && c != CodeClass::text;
}

#if defined(__SSE2__) || defined(ORVEN_SKIM_AVX2)
// Whether `needle` stands in `text` at i + one of the bits set in `mask` (a vector step's
// places where its first and last bytes both stand).
bool stands_at_any(std::string_view text, std::string_view needle, std::size_t i, unsigned mask) {
  for (; mask != 0; mask &= mask - 1) {
    if (text.compare(i + static_cast<std::size_t>(std::countr_zero(mask)), needle.size(), needle) ==
        0) {
      return true;
    }
  }
  return false;
}
#endif

#ifdef ORVEN_SKIM_AVX2
const bool kSkimAvx2 = __builtin_cpu_supports("avx2");

// holds() below, 32 places a step from i on; leaves i where it stopped.
[[gnu::target("avx2")]] bool holds_avx2(std::string_view text, std::string_view needle,
                                        std::size_t& i) {
  const std::size_t last = needle.size() - 1;
  const std::size_t ends = text.size() - last;
  const __m256i first = _mm256_set1_epi8(needle.front());
  const __m256i final = _mm256_set1_epi8(needle.back());
  for (; i + 32 <= ends; i += 32) {
    const auto* at = reinterpret_cast<const __m256i*>(text.data() + i);
    const auto* end = reinterpret_cast<const __m256i*>(text.data() + i + last);
    const auto mask = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(at), first),
                                              _mm256_cmpeq_epi8(_mm256_loadu_si256(end), final))));
    if (mask != 0 && stands_at_any(text, needle, i, mask)) return true;
  }
  return false;
}

// The skim's blocks (CodeFilter::skim) two at a time from i on; leaves i and kept where it
// stopped.
[[gnu::target("avx2")]] void skim_avx2(std::size_t size, const unsigned char* classes,
                                       std::size_t* from, std::size_t& i, std::size_t& kept) {
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i two = _mm256_set1_epi8(2);
  for (; i + 32 <= size; i += 32) {
    const __m256i less =
        _mm256_sub_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(classes + i)), one);
    const auto dropped = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(less, two), less)));
    from[kept] = i;
    kept += (dropped & 0xFFFFu) != 0xFFFFu ? 1 : 0;
    from[kept] = i + 16;
    kept += (dropped >> 16) != 0xFFFFu ? 1 : 0;
  }
}
#endif

// Whether `text` holds `needle` (two bytes at least) as it is: its first and last bytes
// looked for 16 (or 32) places at a time, the rest compared where both stand.
bool holds(std::string_view text, std::string_view needle) {
  if (text.size() < needle.size()) return false;
  std::size_t i = 0;
#ifdef ORVEN_SKIM_AVX2
  if (kSkimAvx2 && holds_avx2(text, needle, i)) return true;
#endif
#if defined(__SSE2__)
  const std::size_t last = needle.size() - 1;
  const std::size_t ends = text.size() - last;  // the places where the needle may start
  const __m128i first = _mm_set1_epi8(needle.front());
  const __m128i final = _mm_set1_epi8(needle.back());
  for (; i + 16 <= ends; i += 16) {
    const auto* at = reinterpret_cast<const __m128i*>(text.data() + i);
    const auto* end = reinterpret_cast<const __m128i*>(text.data() + i + last);
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
        _mm_cmpeq_epi8(_mm_loadu_si128(at), first), _mm_cmpeq_epi8(_mm_loadu_si128(end), final))));
    if (mask != 0 && stands_at_any(text, needle, i, mask)) return true;
  }
#endif
  return text.find(needle, i) != std::string_view::npos;
}

// The skim's blocks, one list per thread: a scan's segments are skimmed one after another.
thread_local std::vector<std::size_t> skim_blocks;

}  // namespace

CodeByte code_byte(const CodeView& view, std::size_t at) {
  const auto byte = [&](std::ptrdiff_t i) -> int {
    if (i < 0) return i >= -2 ? view.before[-i - 1] : -1;
    if (static_cast<std::size_t>(i) >= view.text.size()) return view.after;
    return static_cast<unsigned char>(view.text[static_cast<std::size_t>(i)]);
  };
  const auto i = static_cast<std::ptrdiff_t>(at);
  const int previous = byte(i - 1);
  CodeByte b = static_cast<CodeByte>(view.classes[at]);
  if (previous < 0 || is_whitespace(static_cast<char>(previous))) b |= kGapBefore;
  if (is_word(previous)) b |= kWordBefore;
  if (is_word(byte(i + 1))) b |= kWordAfter;
  if (previous == '<' || (previous == '/' && byte(i - 2) == '<')) b |= kAfterAngle;
  return b;
}

bool counts_in_code(std::string_view words, std::span<const CodeByte> bytes, KeywordKind kind) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (static_cast<CodeClass>(bytes[i] & kClassBits) != wanted(kind, i == 0)) return false;
    // "Create Window" is two words, not CreateWindow.
    if (i > 0 && (bytes[i] & kGapBefore) != 0 &&
        is_word_byte(static_cast<unsigned char>(words[i])) &&
        is_word_byte(static_cast<unsigned char>(words[i - 1]))) {
      return false;
    }
  }
  const bool start_bound = kind == KeywordKind::word || kind == KeywordKind::prefix;
  const bool end_bound =
      kind != KeywordKind::prefix && kind != KeywordKind::header && kind != KeywordKind::open_tag;
  const auto first = static_cast<unsigned char>(words.front());
  const auto last = static_cast<unsigned char>(words.back());
  if (start_bound && is_word_byte(first) && (bytes.front() & kWordBefore) != 0) return false;
  if (end_bound && is_word_byte(last) && (bytes.back() & kWordAfter) != 0) return false;
  if (kind == KeywordKind::tag_name && (bytes.front() & kAfterAngle) == 0) return false;
  return true;
}

bool counts_in_code(const CodeView& view, std::size_t begin, std::size_t last, KeywordKind kind) {
  // A keyword is short: its bytes of words fit here (blanks between them are passed over).
  std::array<char, 64> words;
  std::array<CodeByte, 64> bytes;
  std::size_t n = 0;
  for (std::size_t i = begin; i <= last; ++i) {
    if (is_whitespace(view.text[i])) continue;
    if (n == words.size()) return false;
    words[n] = view.text[i];
    bytes[n++] = code_byte(view, i);
  }
  return n != 0 &&
         counts_in_code(std::string_view(words.data(), n), std::span(bytes.data(), n), kind);
}

std::vector<KeywordKind> kinds_of(const KeywordSet& keywords) {
  std::vector<KeywordKind> kinds(keywords.size(), KeywordKind::word);
  for (const KeywordKindEntry& entry : kKeywordKinds) {
    const std::size_t k = keywords.index_of(entry.keyword);
    if (k < keywords.size()) kinds[k] = entry.kind;
  }
  return kinds;
}

bool CodeFilter::keep(std::size_t keyword, std::size_t last) const {
  if (keyword >= anywhere_from_) return true;
  return counts_in_code(view_, keywords_.first_byte(view_.text, keyword, last), last,
                        kinds_[keyword]);
}

std::optional<SkimmedText> CodeFilter::skim(std::string_view text) const {
  // A text longer than a scan's largest chunk (a whole document) is walked whole: the skim's
  // room stays that small.
  constexpr std::size_t kLongestSkim = std::size_t{1} << 20;
  if (text.data() != view_.text.data() || text.size() != view_.text.size() ||
      text.size() > kLongestSkim) {
    return std::nullopt;
  }
  for (std::size_t k = anywhere_from_; k < keywords_.size(); ++k) {
    const std::string& keyword = keywords_.keyword(k);
    if (keyword.size() < 2 ? text.find(keyword) != std::string_view::npos : holds(text, keyword)) {
      return std::nullopt;
    }
  }
  // Sixteen bytes at a time, without a branch: every block's offset is stored where the next
  // kept one goes, and counts as kept unless all its bytes are of classes where nothing
  // counts. A keyword that counts has its bytes of words in kept blocks, and only whitespace
  // in the dropped blocks between them, if any: it is in the skim's words as it is in the
  // text's.
  std::vector<std::size_t>& room = skim_blocks;
  const std::size_t blocks = text.size() / 16;
  if (room.size() < blocks + 1) room.resize(blocks + 1);
  std::size_t* const from = room.data();
  const auto* const classes = reinterpret_cast<const unsigned char*>(view_.classes);
  std::size_t kept = 0;
  std::size_t i = 0;
  // The vector steps tell the classes where nothing counts by their numbers, 1 to 3.
  static_assert(static_cast<int>(CodeClass::comment) == 1 && !may_count(CodeClass::comment) &&
                static_cast<int>(CodeClass::literal) == 2 && !may_count(CodeClass::literal) &&
                static_cast<int>(CodeClass::text) == 3 && !may_count(CodeClass::text));
#ifdef ORVEN_SKIM_AVX2
  if (kSkimAvx2) skim_avx2(text.size(), classes, from, i, kept);
#endif
#if defined(__SSE2__)
  const __m128i one = _mm_set1_epi8(1);
  const __m128i two = _mm_set1_epi8(2);
  for (; i + 16 <= text.size(); i += 16) {
    // Dropped: class - 1 at most 2 as an unsigned byte (a comment, a literal, markup text).
    const __m128i less =
        _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(classes + i)), one);
    const bool drop = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(less, two), less)) == 0xFFFF;
    from[kept] = i;
    kept += drop ? 0 : 1;
  }
#else
  for (; i + 16 <= text.size(); i += 16) {
    bool drop = true;
    for (std::size_t j = i; j < i + 16; ++j) {
      drop = drop && !may_count(static_cast<CodeClass>(classes[j]));
    }
    from[kept] = i;
    kept += drop ? 0 : 1;
  }
#endif
  // The last bytes, fewer than 16, are kept whatever they are.
  return SkimmedText{std::span<const std::size_t>(from, kept), i};
}

}  // namespace orven
