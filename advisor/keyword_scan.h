// Answers many keyword tests with a single pass over the scanned text, instead of one search
// per test. The pass reads the source's bytes as they are: a whitespace byte leaves the walk
// where it was, which is the same as walking the text with its whitespace taken out, so no
// whitespace-free copy is ever made. A KeywordSet is built once per process over the gates
// and both rule lists; a scan's answers are its own (advisor/scan.h, ScanResult).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/whitespace.h"

namespace orven {

// A keyword as the scanned text can hold it: without whitespace ("class " → "class").
std::string without_whitespace(std::string_view keyword);

// The part of a scanned text that keyword tests see: everything before its first zero byte.
std::string_view searchable_part(std::string_view scanned);

class KeywordAutomaton;

// A text's blocks of 16 bytes where occurrences may count, for a walk that reads only those
// (OccurrenceFilter::skim): the walk reads the text from blocks[0] on for 16 bytes, then from
// blocks[1] on, and so on, and last the bytes from tail_from to the text's end (fewer than
// 16). What the walk meets across two blocks that were not neighbours is checked against the
// text.
struct SkimmedText {
  std::span<const std::size_t> blocks;
  std::size_t tail_from = 0;
};

// Which occurrences count, where not all do (keywords matched in code): keep() is asked for
// an occurrence of the keyword-th keyword whose last byte is at `last` of the text walked.
class OccurrenceFilter {
 public:
  virtual bool keep(std::size_t keyword, std::size_t last) const = 0;
  // The parts of text outside which keep() keeps no occurrence, where the filter knows them:
  // count_all then walks those only. Valid until the filter's next call.
  virtual std::optional<SkimmedText> skim(std::string_view /*text*/) const { return std::nullopt; }

 protected:
  ~OccurrenceFilter() = default;
};

// A set of keywords made ready for scanning: the costly part of a scan, built once and
// shared by every scan of the same keywords, on any number of threads at once.
class KeywordSet {
 public:
  explicit KeywordSet(std::span<const std::string_view> keywords);
  ~KeywordSet();
  KeywordSet(const KeywordSet&) = delete;
  KeywordSet& operator=(const KeywordSet&) = delete;

  // How many keywords it holds (found[i] below answers the i-th).
  std::size_t size() const { return settled_.size(); }
  // The length of the longest of them: a keyword across the edge of two pieces of text
  // lies within this many bytes less one on either side.
  std::size_t longest() const;

  // Sets found[i] for every keyword that occurs in the words of text (whitespace skipped)
  // walked from its first byte; found has size() places. Zero bytes are searched like any
  // other: the caller cuts them off. True when every keyword is found.
  bool find_all(std::string_view text, std::vector<bool>& found) const;

  // For the places of the findings: adds to counts[i] the occurrences of the i-th keyword in
  // the words of text (overlapping ones included), and lowers first_end[i] to the offset of
  // the last byte of its first occurrence (npos when there is none). Never stops early. With
  // `keep`, only the occurrences it keeps count.
  void count_all(std::string_view text, std::span<std::uint64_t> counts,
                 std::span<std::size_t> first_end, const OccurrenceFilter* keep = nullptr) const;
  // Every occurrence in a short whitespace-free text: (keyword, offset of its last byte).
  void matches_in(std::string_view text,
                  std::vector<std::pair<std::size_t, std::size_t>>& out) const;
  // Every occurrence in the words of text (whitespace skipped), overlapping ones included:
  // (keyword, offset of its last byte), in no fixed order.
  void matches_in_words(std::string_view text,
                        std::vector<std::pair<std::size_t, std::size_t>>& out) const;
  // The offset of the first byte of an occurrence of the k-th keyword in the words of text
  // whose last byte is at `last`.
  std::size_t first_byte(std::string_view text, std::size_t k, std::size_t last) const;
  // The i-th keyword (whitespace-free), and the index of a keyword, or size().
  const std::string& keyword(std::size_t i) const { return settled_[i]; }
  std::size_t index_of(std::string_view keyword) const;

 private:
  std::vector<std::string> settled_;                   // whitespace-free, sorted, unique
  std::unique_ptr<const KeywordAutomaton> automaton_;  // over settled_
};

}  // namespace orven
