// The single pass is an Aho–Corasick automaton stored as a full transition table: one
// look-up per byte of the text, whatever the number of keywords. An entry is where the next
// state's row starts, so a step is an addition and a load; and the states that end keywords
// are numbered last, so a walk tells them by their number and looks nothing else up on the
// way (they are met once in thousands of bytes of a source). Measured against byte classes
// (a smaller table, one more look-up a byte) and 16-bit state numbers with a table of the
// states still wanted: this shape is the fastest of the three by a tenth.
#include "advisor/keyword_scan.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace orven {

namespace {

// A text this short is walked without the bookkeeping that pays off on long ones: the seams
// between pieces of a streamed text are walked thousands of times a run.
constexpr std::size_t kShortText = 512;

// Whether the words of text (whitespace skipped) that end at `end` end in `keyword`.
bool words_end_with(std::string_view text, std::size_t end, std::string_view keyword) {
  std::size_t at = end + 1;
  for (std::size_t i = keyword.size(); i > 0;) {
    do {
      if (at == 0) return false;
    } while (is_whitespace(text[--at]));
    if (text[at] != keyword[--i]) return false;
  }
  return true;
}

// Where the i-th byte a walk over the skim reads lies in the text.
std::size_t in_text(const SkimmedText& skim, std::size_t i) {
  const std::size_t in_blocks = skim.blocks.size() * 16;
  return i < in_blocks ? skim.blocks[i / 16] + i % 16 : skim.tail_from + (i - in_blocks);
}

}  // namespace

class KeywordAutomaton {
 public:
  explicit KeywordAutomaton(const std::vector<std::string>& keywords);

  // Sets found[k] for every keyword k that occurs in text; stops once all are found.
  bool find_all(std::string_view text, std::vector<bool>& found) const;
  void count_all(std::string_view text, std::span<std::uint64_t> counts,
                 std::span<std::size_t> first_end, const OccurrenceFilter* keep) const;
  // count_all over the blocks of text that skim holds (keywords: the set's, by number).
  void count_skimmed(std::string_view text, const SkimmedText& skim,
                     const std::vector<std::string>& keywords, std::span<std::uint64_t> counts,
                     std::span<std::size_t> first_end, const OccurrenceFilter& keep) const;
  void matches_in(std::string_view text,
                  std::vector<std::pair<std::size_t, std::size_t>>& out) const;
  void matches_in_words(std::string_view text,
                        std::vector<std::pair<std::size_t, std::size_t>>& out) const;
  std::size_t longest() const { return longest_; }

 private:
  // Calls reach(row, after) where the walk is in a state that ends keywords.
  template <typename Reach>
  bool walk(std::string_view text, Reach&& reach) const;
  // The same over the skim's blocks of text: `after` counts the bytes walked (16 a block).
  template <typename Reach>
  void walk_blocks(std::string_view text, const SkimmedText& skim, Reach&& reach) const;
  // The steps of the six walks that walk() takes on a long text (see there).
  struct Hit {
    std::size_t row;
    std::size_t after;
  };
  static constexpr std::size_t kWalks = 6;  // measured: 4, 5, 7 and 8 are slower
  static constexpr std::size_t kHits = 64;
  std::size_t steps(std::size_t (&rows)[kWalks], const unsigned char* bytes, std::size_t part,
                    std::size_t i, std::size_t to, Hit (&hits)[kHits],
                    std::size_t& hit_count) const;
  // The steps of the six walks over the skim's blocks, a block at a time from block b up to
  // `to` (each walk's part is `part` blocks); stops after a block once `hits` has no room for
  // another.
  static constexpr std::size_t kBlockHits = 256;
  std::size_t block_steps(std::size_t (&rows)[kWalks], const unsigned char* bytes,
                          const std::size_t* blocks, std::size_t part, std::size_t b,
                          std::size_t to, Hit (&hits)[kBlockHits], std::size_t& hit_count) const;
  const std::vector<std::uint16_t>& matches_at(std::size_t row) const { return matches_[row >> 8]; }

  std::vector<std::uint32_t> next_;  // next_[row + byte], a row being a state's number × 256
  // By state number; the states that end a keyword are the last ones.
  std::vector<std::vector<std::uint16_t>> matches_;
  std::size_t first_match_row_ = 0;  // the row of the first of them
  std::size_t longest_ = 0;
};

KeywordAutomaton::KeywordAutomaton(const std::vector<std::string>& keywords) {
  // At most one state per keyword byte: room for all of them at once, since growing the
  // table state by state copies it again and again.
  std::size_t most = 1;
  for (const std::string& keyword : keywords) most += keyword.size();
  std::vector<std::uint32_t> next(256, 0);  // by state number, 0 marks a missing edge
  next.reserve(most * 256);
  matches_.reserve(most);
  matches_.emplace_back();
  // The trie of the keywords (no edge leads back to the root, so 0 can mark a missing one).
  for (std::size_t k = 0; k < keywords.size(); ++k) {
    std::size_t state = 0;
    for (const unsigned char c : keywords[k]) {
      if (next[state * 256 + c] == 0) {
        next[state * 256 + c] = static_cast<std::uint32_t>(matches_.size());
        matches_.emplace_back();
        next.resize(next.size() + 256, 0);
      }
      state = next[state * 256 + c];
    }
    matches_[state].push_back(static_cast<std::uint16_t>(k));
    longest_ = std::max(longest_, keywords[k].size());
  }
  // Breadth first, every missing edge is borrowed from the state of the longest proper
  // suffix that is also a keyword prefix, and each state also reports that state's keywords.
  const std::size_t states = matches_.size();
  std::vector<std::uint32_t> suffix(states, 0);
  std::vector<std::uint32_t> queue;
  for (std::size_t c = 0; c < 256; ++c) {
    if (next[c] != 0) queue.push_back(next[c]);
  }
  for (std::size_t i = 0; i < queue.size(); ++i) {
    const std::size_t state = queue[i];
    const std::size_t fallback = suffix[state];
    matches_[state].insert(matches_[state].end(), matches_[fallback].begin(),
                           matches_[fallback].end());
    for (std::size_t c = 0; c < 256; ++c) {
      std::uint32_t& edge = next[state * 256 + c];
      if (edge != 0) {
        suffix[edge] = next[fallback * 256 + c];
        queue.push_back(edge);
      } else {
        edge = next[fallback * 256 + c];
      }
    }
  }
  // No keyword holds whitespace, so a whitespace byte leaves every state as it is: the walk
  // over the source's bytes is the walk over its words joined.
  for (std::size_t state = 0; state < states; ++state) {
    for (std::size_t c = 0; c < 256; ++c) {
      if (kWhitespace[c]) next[state * 256 + c] = static_cast<std::uint32_t>(state);
    }
  }

  // Renumbered: the states that end no keyword first (the root stays 0), then the others.
  std::vector<std::uint32_t> number(states);
  std::uint32_t given = 0;
  for (const bool ends_keyword : {false, true}) {
    for (std::size_t state = 0; state < states; ++state) {
      if (matches_[state].empty() != ends_keyword) number[state] = given++;
    }
  }
  std::vector<std::vector<std::uint16_t>> renumbered(states);
  std::size_t first_match = states;
  for (std::size_t state = 0; state < states; ++state) {
    if (!matches_[state].empty()) first_match = std::min<std::size_t>(first_match, number[state]);
    renumbered[number[state]] = std::move(matches_[state]);
  }
  matches_ = std::move(renumbered);
  first_match_row_ = first_match * 256;
  next_.resize(states * 256);
  for (std::size_t state = 0; state < states; ++state) {
    for (std::size_t c = 0; c < 256; ++c) {
      next_[number[state] * 256 + c] = number[next[state * 256 + c]] * 256;
    }
  }
}

bool KeywordAutomaton::find_all(std::string_view text, std::vector<bool>& found) const {
  std::size_t missing = std::count(found.begin(), found.end(), false);
  if (missing == 0) return true;
  const auto reach = [&](std::size_t row, std::size_t) {
    for (const std::uint16_t k : matches_at(row)) {
      if (!found[k]) {
        found[k] = true;
        --missing;
      }
    }
    return missing == 0;  // stops the walk
  };
  return walk(text, reach);
}

void KeywordAutomaton::count_all(std::string_view text, std::span<std::uint64_t> counts,
                                 std::span<std::size_t> first_end,
                                 const OccurrenceFilter* keep) const {
  // A whitespace byte leaves the state as it was, so a state is counted only on a byte of
  // words, not again on the blanks after it.
  const auto record = [&](std::size_t row, std::size_t after) {
    const std::size_t end = after - 1;
    if (is_whitespace(text[end])) return false;
    for (const std::uint16_t k : matches_at(row)) {
      if (keep != nullptr && !keep->keep(k, end)) continue;
      ++counts[k];
      first_end[k] = std::min(first_end[k], end);
    }
    return false;
  };
  walk(text, record);
}

void KeywordAutomaton::count_skimmed(std::string_view text, const SkimmedText& skim,
                                     const std::vector<std::string>& keywords,
                                     std::span<std::uint64_t> counts,
                                     std::span<std::size_t> first_end,
                                     const OccurrenceFilter& keep) const {
  const auto record = [&](std::size_t row, std::size_t after) {
    const std::size_t end = in_text(skim, after - 1);
    if (is_whitespace(text[end])) return;
    for (const std::uint16_t k : matches_at(row)) {
      if (!words_end_with(text, end, keywords[k]) || !keep.keep(k, end)) continue;
      ++counts[k];
      first_end[k] = std::min(first_end[k], end);
    }
  };
  walk_blocks(text, skim, record);
}

void KeywordAutomaton::matches_in_words(
    std::string_view text, std::vector<std::pair<std::size_t, std::size_t>>& out) const {
  // As in count_all: a state is taken on a byte of words only.
  const auto record = [&](std::size_t row, std::size_t after) {
    const std::size_t end = after - 1;
    if (is_whitespace(text[end])) return false;
    for (const std::uint16_t k : matches_at(row)) out.emplace_back(k, end);
    return false;
  };
  walk(text, record);
}

// Walks the text and calls reach(row, after) at every byte after which the walk is in a
// state that ends keywords (after: the offset past that byte), once per byte, whitespace
// included; stops when reach returns true, and returns whether it did.
template <typename Reach>
bool KeywordAutomaton::walk(std::string_view text, Reach&& reach) const {
  const std::uint32_t* const next = next_.data();
  const std::size_t first_match = first_match_row_;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (text.size() < kShortText) {
    std::size_t row = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      row = next[row + bytes[i]];
      if (row >= first_match && reach(row, i + 1)) return true;
    }
    return false;
  }
  // Each step waits for the one before it (a table look-up), so kWalks walks over as many
  // parts of the text, side by side, keep the processor busy. Every walk but the first is
  // first brought to the state its part begins in, from a keyword's length of words before
  // it (whitespace does not count), reporting nothing: no occurrence across the edge of two
  // parts is missed or met twice. (Reports from the parts come out of order: count_all
  // keeps the least offset, find_all does not care.)
  // Parts of one length, the last one longer by what is left over, so that one offset finds
  // every walk's byte.
  const std::size_t part = text.size() / kWalks;
  std::size_t row[kWalks] = {};
  for (std::size_t w = 1; w < kWalks; ++w) {
    const unsigned char* const start = bytes + w * part;
    const unsigned char* from = start;
    for (std::size_t kept = 0; from != bytes && kept + 1 < longest_;) {
      kept += !kWhitespace[*--from];
    }
    while (from != start) row[w] = next[row[w] + *from++];
  }
  // The steps are taken by one function for every kind of walk, which notes where a walk
  // ends keywords and leaves the rest to reach: the loop that takes nearly all the time is
  // the same code whatever reach does. A stretch of steps at a time, so that an early stop
  // comes soon after what allows it.
  constexpr std::size_t kStretch = 4096;
  Hit hits[kHits];
  for (std::size_t i = 0; i < part;) {
    std::size_t hit_count = 0;
    i = steps(row, bytes, part, i, std::min(part, i + kStretch), hits, hit_count);
    for (std::size_t h = 0; h < hit_count; ++h) {
      if (reach(hits[h].row, hits[h].after)) return true;
    }
  }
  std::size_t& last = row[kWalks - 1];
  for (std::size_t i = kWalks * part; i < text.size(); ++i) {
    last = next[last + bytes[i]];
    if (last >= first_match && reach(last, i + 1)) return true;
  }
  return false;
}

// Takes the steps of the six walks from step i up to `to`, noting every walk in a state that
// ends keywords; stops after a step once `hits` has no room for six more.
[[gnu::noinline]] std::size_t KeywordAutomaton::steps(std::size_t (&rows)[kWalks],
                                                      const unsigned char* bytes, std::size_t part,
                                                      std::size_t i, std::size_t to,
                                                      Hit (&hits)[kHits],
                                                      std::size_t& hit_count) const {
  const std::uint32_t* const next = next_.data();
  const std::size_t first_match = first_match_row_;
  // In locals, not behind the reference: the hits written would otherwise send them back to
  // memory at every step.
  std::size_t row[kWalks];
  std::copy(rows, rows + kWalks, row);
  std::size_t count = 0;
  // Two pointers and the part's length find all six bytes (x86 scales an index by 1 and 2
  // within the load), so the loop keeps every walk's state in a register.
  static_assert(kWalks == 6);
  while (i < to) {
    const unsigned char* const a = bytes + i;
    const unsigned char* const b = a + 3 * part;
    row[0] = next[row[0] + a[0]];
    row[1] = next[row[1] + a[part]];
    row[2] = next[row[2] + a[2 * part]];
    row[3] = next[row[3] + b[0]];
    row[4] = next[row[4] + b[part]];
    row[5] = next[row[5] + b[2 * part]];
    ++i;
    if ((row[0] >= first_match) | (row[1] >= first_match) | (row[2] >= first_match) |
        (row[3] >= first_match) | (row[4] >= first_match) | (row[5] >= first_match)) {
#pragma GCC unroll 16
      for (std::size_t w = 0; w < kWalks; ++w) {
        if (row[w] >= first_match) hits[count++] = {row[w], w * part + i};
      }
      if (count > kHits - kWalks) break;
    }
  }
  std::copy(row, row + kWalks, rows);
  hit_count = count;
  return i;
}

// walk() over the skim's blocks and then its last bytes, all read where they lie in the
// text. The six walks take parts of whole blocks, so that every walk is at the same byte of
// its block; what is left over goes to the last walk.
template <typename Reach>
void KeywordAutomaton::walk_blocks(std::string_view text, const SkimmedText& skim,
                                   Reach&& reach) const {
  const std::uint32_t* const next = next_.data();
  const std::size_t first_match = first_match_row_;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t* const blocks = skim.blocks.data();
  const auto byte = [&](std::size_t v) { return bytes[in_text(skim, v)]; };
  // Blocks a walk; none where the skim is short: the last walk takes it all.
  const std::size_t part = skim.blocks.size() * 16 >= kShortText ? skim.blocks.size() / kWalks : 0;
  std::size_t row[kWalks] = {};
  if (part != 0) {
    // As in walk(): every walk but the first is brought to the state its part begins in.
    for (std::size_t w = 1; w < kWalks; ++w) {
      const std::size_t start = w * part * 16;
      std::size_t from = start;
      for (std::size_t kept = 0; from != 0 && kept + 1 < longest_;) {
        kept += !kWhitespace[byte(--from)];
      }
      for (; from != start; ++from) row[w] = next[row[w] + byte(from)];
    }
    constexpr std::size_t kStretch = 256;  // blocks
    Hit hits[kBlockHits];
    for (std::size_t b = 0; b < part;) {
      std::size_t hit_count = 0;
      b = block_steps(row, bytes, blocks, part, b, std::min(part, b + kStretch), hits, hit_count);
      for (std::size_t h = 0; h < hit_count; ++h) reach(hits[h].row, hits[h].after);
    }
  }
  std::size_t& last = row[kWalks - 1];
  const std::size_t size = skim.blocks.size() * 16 + (text.size() - skim.tail_from);
  for (std::size_t v = kWalks * part * 16; v < size; ++v) {
    last = next[last + byte(v)];
    if (last >= first_match) reach(last, v + 1);
  }
}

[[gnu::noinline]] std::size_t KeywordAutomaton::block_steps(std::size_t (&rows)[kWalks],
                                                            const unsigned char* bytes,
                                                            const std::size_t* blocks,
                                                            std::size_t part, std::size_t b,
                                                            std::size_t to, Hit (&hits)[kBlockHits],
                                                            std::size_t& hit_count) const {
  const std::uint32_t* const next = next_.data();
  const std::size_t first_match = first_match_row_;
  std::size_t row[kWalks];
  std::copy(rows, rows + kWalks, row);
  std::size_t count = 0;
  static_assert(kWalks == 6 && kBlockHits >= 2 * 16 * kWalks);
  for (; b < to; ++b) {
    const unsigned char* const p0 = bytes + blocks[b];
    const unsigned char* const p1 = bytes + blocks[b + part];
    const unsigned char* const p2 = bytes + blocks[b + 2 * part];
    const unsigned char* const p3 = bytes + blocks[b + 3 * part];
    const unsigned char* const p4 = bytes + blocks[b + 4 * part];
    const unsigned char* const p5 = bytes + blocks[b + 5 * part];
#pragma GCC unroll 16
    for (std::size_t j = 0; j < 16; ++j) {
      row[0] = next[row[0] + p0[j]];
      row[1] = next[row[1] + p1[j]];
      row[2] = next[row[2] + p2[j]];
      row[3] = next[row[3] + p3[j]];
      row[4] = next[row[4] + p4[j]];
      row[5] = next[row[5] + p5[j]];
      if ((row[0] >= first_match) | (row[1] >= first_match) | (row[2] >= first_match) |
          (row[3] >= first_match) | (row[4] >= first_match) | (row[5] >= first_match)) {
#pragma GCC unroll 6
        for (std::size_t w = 0; w < kWalks; ++w) {
          if (row[w] >= first_match) hits[count++] = {row[w], (w * part + b) * 16 + j + 1};
        }
      }
    }
    if (count > kBlockHits - 16 * kWalks) {
      ++b;
      break;
    }
  }
  std::copy(row, row + kWalks, rows);
  hit_count = count;
  return b;
}

void KeywordAutomaton::matches_in(std::string_view text,
                                  std::vector<std::pair<std::size_t, std::size_t>>& out) const {
  std::size_t row = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    row = next_[row + static_cast<unsigned char>(text[i])];
    for (const std::uint16_t k : matches_at(row)) out.emplace_back(k, i);
  }
}

std::string without_whitespace(std::string_view keyword) {
  std::string bare(keyword);
  std::erase_if(bare, [](char c) { return is_whitespace(c); });
  return bare;
}

std::string_view searchable_part(std::string_view scanned) {
  return scanned.substr(0, scanned.find('\0'));
}

KeywordSet::KeywordSet(std::span<const std::string_view> keywords) {
  for (const std::string_view keyword : keywords) {
    std::string bare = without_whitespace(keyword);
    if (!bare.empty()) settled_.push_back(std::move(bare));
  }
  std::sort(settled_.begin(), settled_.end());
  settled_.erase(std::unique(settled_.begin(), settled_.end()), settled_.end());
  // The automaton numbers keywords in 16 bits.
  if (settled_.size() > 65535) throw std::length_error("too many keywords");
  automaton_ = std::make_unique<const KeywordAutomaton>(settled_);
}

KeywordSet::~KeywordSet() = default;

std::size_t KeywordSet::longest() const {
  return automaton_->longest();
}

bool KeywordSet::find_all(std::string_view text, std::vector<bool>& found) const {
  return automaton_->find_all(text, found);
}

void KeywordSet::count_all(std::string_view text, std::span<std::uint64_t> counts,
                           std::span<std::size_t> first_end, const OccurrenceFilter* keep) const {
  if (keep != nullptr) {
    if (const std::optional<SkimmedText> skim = keep->skim(text)) {
      automaton_->count_skimmed(text, *skim, settled_, counts, first_end, *keep);
      return;
    }
  }
  automaton_->count_all(text, counts, first_end, keep);
}

void KeywordSet::matches_in(std::string_view text,
                            std::vector<std::pair<std::size_t, std::size_t>>& out) const {
  automaton_->matches_in(text, out);
}

void KeywordSet::matches_in_words(std::string_view text,
                                  std::vector<std::pair<std::size_t, std::size_t>>& out) const {
  automaton_->matches_in_words(text, out);
}

std::size_t KeywordSet::first_byte(std::string_view text, std::size_t k, std::size_t last) const {
  std::size_t at = last;
  for (std::size_t more = settled_[k].size() - 1; more > 0;) {
    more -= !is_whitespace(text[--at]);
  }
  return at;
}

std::size_t KeywordSet::index_of(std::string_view keyword) const {
  const std::string bare = without_whitespace(keyword);
  const auto it = std::lower_bound(settled_.begin(), settled_.end(), bare);
  return it != settled_.end() && *it == bare ? static_cast<std::size_t>(it - settled_.begin())
                                             : settled_.size();
}

}  // namespace orven
