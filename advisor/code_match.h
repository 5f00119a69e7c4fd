// Whether an occurrence of a keyword counts when keywords are matched in code: its bytes of
// the class its kind needs (advisor/keyword_kinds.h), no blank taken out between two
// identifier characters, its ends not inside a longer word where the kind says so. The check
// reads, for each byte of words of the occurrence, its class and what stands right around it
// in the file (a CodeByte), so that it is the same whether the occurrence lies inside one
// piece of a file or over the seam of two: the document scan and the streamed scan both ask
// it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "advisor/code_lexers.h"
#include "advisor/keyword_kinds.h"
#include "advisor/keyword_scan.h"

namespace orven {

// A byte of words (not whitespace) as the check sees it: its class in the low three bits and
// these flags about the bytes right before and after it in the file.
using CodeByte = std::uint8_t;
inline constexpr CodeByte kClassBits = 0x07;
inline constexpr CodeByte kGapBefore = 0x08;   // whitespace (or the file's start) before it
inline constexpr CodeByte kWordBefore = 0x10;  // an identifier character right before it
inline constexpr CodeByte kWordAfter = 0x20;   // an identifier character right after it
inline constexpr CodeByte kAfterAngle = 0x40;  // "<" or "</" right before it

// Identifier characters as the check counts them: letters, digits, "_", "$" and every byte
// from 128 on (UTF-8 and windows-1251 letters alike).
constexpr bool is_word_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;
}

// A piece of a file with the class of each of its bytes and the bytes right around it.
struct CodeView {
  std::string_view text;
  const CodeClass* classes = nullptr;
  int before[2] = {-1, -1};  // the two bytes before text, the last first; -1: none
  int after = -1;            // the byte after it; -1: the file ends
};

// The CodeByte of the byte at `at` of the view.
CodeByte code_byte(const CodeView& view, std::size_t at);

// Whether an occurrence counts, given its bytes of words in order and their CodeBytes.
bool counts_in_code(std::string_view words, std::span<const CodeByte> bytes, KeywordKind kind);

// Whether the occurrence from `begin` to `last` of the view counts.
bool counts_in_code(const CodeView& view, std::size_t begin, std::size_t last, KeywordKind kind);

// The kind of each keyword of the set (word for those the table does not list).
std::vector<KeywordKind> kinds_of(const KeywordSet& keywords);

// The occurrences of a piece of a file that count in code, for KeywordSet::count_all.
class CodeFilter final : public OccurrenceFilter {
 public:
  // Keywords from `anywhere_from` on (the suppression markers' words, which stand in
  // comments) count wherever they are.
  CodeFilter(const KeywordSet& keywords, std::span<const KeywordKind> kinds, const CodeView& view,
             std::size_t anywhere_from = static_cast<std::size_t>(-1))
      : keywords_(keywords), kinds_(kinds), view_(view), anywhere_from_(anywhere_from) {}
  bool keep(std::size_t keyword, std::size_t last) const override;
  // The view's text in blocks of 16 bytes, less those that hold only comments, literals and
  // markup text, where no keyword counts. None where a keyword that counts anywhere stands in
  // the text as it is (a suppression marker), or for a text longer than a scan's chunks: that
  // text is walked whole.
  std::optional<SkimmedText> skim(std::string_view text) const override;

 private:
  const KeywordSet& keywords_;
  std::span<const KeywordKind> kinds_;
  const CodeView& view_;
  std::size_t anywhere_from_;
};

}  // namespace orven
