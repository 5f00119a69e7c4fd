// Answers many keyword tests on one scanned text with a single pass over it, instead of one
// search per test. Built by the training run over the gates and both rule lists; a KeywordScan
// borrows the text and must not outlive it or see it change.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/whitespace.h"

namespace orven {

// A keyword as the scanned text can hold it: without whitespace ("class " → "class").
std::string without_whitespace(std::string_view keyword);

// The part of a scanned text that keyword tests see: everything before its first zero byte.
std::string_view searchable_part(std::string_view scanned);

class KeywordAutomaton;

// A set of keywords made ready for scanning: the costly part of a scan, built once and
// shared by every scan of the same keywords.
class KeywordSet {
 public:
  explicit KeywordSet(std::span<const std::string_view> keywords);
  ~KeywordSet();
  KeywordSet(const KeywordSet&) = delete;
  KeywordSet& operator=(const KeywordSet&) = delete;

 private:
  friend class KeywordScan;
  std::vector<std::string> settled_;                   // whitespace-free, sorted, unique
  std::unique_ptr<const KeywordAutomaton> automaton_;  // over settled_
};

class KeywordScan {
 public:
  // One walk over the searchable part of `scanned` that settles every keyword of `keywords`.
  KeywordScan(std::string_view scanned, std::span<const std::string_view> keywords);
  // The same with keywords made ready beforehand; `keywords` must outlive the scan.
  KeywordScan(std::string_view scanned, const KeywordSet& keywords);

  // The same answer as scanned_contains on the same text, for any keyword; one outside the
  // settled set is searched for directly.
  bool contains(std::string_view keyword) const;

 private:
  KeywordScan(std::string_view scanned, std::unique_ptr<const KeywordSet> own);

  std::unique_ptr<const KeywordSet> own_;  // the set, when the scan made it itself
  const KeywordSet& set_;
  std::string_view text_;    // the searchable part
  std::vector<bool> found_;  // found_[i] answers set_.settled_[i]
};

}  // namespace orven
