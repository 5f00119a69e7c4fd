// The check of an occurrence in code.
#include "advisor/code_match.h"

#include <array>

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

}  // namespace orven
