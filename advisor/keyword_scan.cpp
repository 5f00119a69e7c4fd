// The single pass is an Aho–Corasick automaton stored as a full transition table: one table
// look-up per byte of the text, whatever the number of keywords.
#include "advisor/keyword_scan.h"

#include <algorithm>
#include <cstdint>

#include "advisor/scan.h"

namespace orven {

namespace {

// State numbers are 16 bits wide, which keeps the table small enough for the cache.
constexpr std::size_t kMaxStates = 65535;

// A text this short is walked without the bookkeeping that pays off on long ones: the seams
// between pieces of a streamed text are walked thousands of times a run.
constexpr std::size_t kShortText = 512;

}  // namespace

class KeywordAutomaton {
 public:
  explicit KeywordAutomaton(const std::vector<std::string>& keywords);

  // Sets found[k] for every keyword k that occurs in text; stops once all are found.
  bool find_all(std::string_view text, std::vector<bool>& found) const;
  void count_all(std::string_view text, std::span<std::uint64_t> counts,
                 std::span<std::size_t> first_end) const;
  void matches_in(std::string_view text,
                  std::vector<std::pair<std::size_t, std::size_t>>& out) const;
  std::size_t longest() const { return longest_; }

 private:
  bool find_in_short(std::string_view text, std::vector<bool>& found) const;

  std::vector<std::uint16_t> next_;                  // next_[state * 256 + byte]
  std::vector<std::vector<std::uint16_t>> matches_;  // the keywords that end in each state
  std::vector<char> has_matches_;                    // !matches_[state].empty()
  std::size_t longest_ = 0;
};

KeywordAutomaton::KeywordAutomaton(const std::vector<std::string>& keywords)
    : next_(256, 0), matches_(1) {
  // At most one state per keyword byte: room for all of them at once, since growing the
  // table state by state copies it again and again (20 times slower to build).
  std::size_t states = 1;
  for (const std::string& keyword : keywords) states += keyword.size();
  next_.reserve(states * 256);
  matches_.reserve(states);
  // The trie of the keywords; 0 marks a missing edge, since no edge leads back to the root.
  for (std::size_t k = 0; k < keywords.size(); ++k) {
    std::size_t state = 0;
    for (const unsigned char c : keywords[k]) {
      if (next_[state * 256 + c] == 0) {
        next_[state * 256 + c] = static_cast<std::uint16_t>(matches_.size());
        matches_.emplace_back();
        next_.resize(next_.size() + 256, 0);
      }
      state = next_[state * 256 + c];
    }
    matches_[state].push_back(static_cast<std::uint16_t>(k));
    longest_ = std::max(longest_, keywords[k].size());
  }
  // Breadth first, every missing edge is borrowed from the state of the longest proper
  // suffix that is also a keyword prefix, and each state also reports that state's keywords.
  std::vector<std::uint16_t> suffix(matches_.size(), 0);
  std::vector<std::uint16_t> queue;
  for (std::size_t c = 0; c < 256; ++c) {
    if (next_[c] != 0) queue.push_back(next_[c]);
  }
  for (std::size_t i = 0; i < queue.size(); ++i) {
    const std::size_t state = queue[i];
    const std::size_t fallback = suffix[state];
    matches_[state].insert(matches_[state].end(), matches_[fallback].begin(),
                           matches_[fallback].end());
    for (std::size_t c = 0; c < 256; ++c) {
      std::uint16_t& edge = next_[state * 256 + c];
      if (edge != 0) {
        suffix[edge] = next_[fallback * 256 + c];
        queue.push_back(edge);
      } else {
        edge = next_[fallback * 256 + c];
      }
    }
  }
  // No keyword holds whitespace, so a whitespace byte leaves every state as it is: the walk
  // over the source's bytes is the walk over its words joined.
  for (std::size_t state = 0; state < matches_.size(); ++state) {
    for (std::size_t c = 0; c < 256; ++c) {
      if (kWhitespace[c]) next_[state * 256 + c] = static_cast<std::uint16_t>(state);
    }
  }
  has_matches_.resize(matches_.size());
  for (std::size_t s = 0; s < matches_.size(); ++s) has_matches_[s] = !matches_[s].empty();
}

bool KeywordAutomaton::find_in_short(std::string_view text, std::vector<bool>& found) const {
  std::size_t state = 0;
  for (const unsigned char c : text) {
    state = next_[state * 256 + c];
    if (has_matches_[state]) {
      for (const std::uint16_t k : matches_[state]) found[k] = true;
    }
  }
  return std::find(found.begin(), found.end(), false) == found.end();
}

bool KeywordAutomaton::find_all(std::string_view text, std::vector<bool>& found) const {
  if (text.size() < kShortText) return find_in_short(text, found);
  std::size_t missing = std::count(found.begin(), found.end(), false);
  std::vector<char> pending(has_matches_);     // states whose keywords are not yet marked
  const auto reach = [&](std::size_t state) {  // true once every keyword is found
    for (const std::uint16_t k : matches_[state]) {
      if (!found[k]) {
        found[k] = true;
        --missing;
      }
    }
    pending[state] = 0;
    return missing == 0;
  };
  if (missing == 0) return true;

  // Each step waits for the one before it (a table look-up), so four walks over the four
  // quarters of the text, side by side, keep the processor busy: a third faster than two.
  // Every walk but the first starts a keyword's length of words early (whitespace does not
  // count), so that no occurrence across the edge of two quarters is missed.
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* at[4];
  const unsigned char* end[4];
  for (std::size_t w = 0; w < 4; ++w) {
    at[w] = bytes + text.size() * w / 4;
    end[w] = bytes + text.size() * (w + 1) / 4;
    for (std::size_t kept = 0; at[w] != bytes && kept + 1 < longest_;) {
      kept += !kWhitespace[*--at[w]];
    }
  }
  const std::uint16_t* const next = next_.data();
  std::size_t state[4] = {};
  std::size_t a = 0, b = 0, c = 0, d = 0;
  while (at[0] != end[0]) {  // the first walk is never the longer one
    a = next[a * 256 + *at[0]++];
    b = next[b * 256 + *at[1]++];
    c = next[c * 256 + *at[2]++];
    d = next[d * 256 + *at[3]++];
    if (pending[a] | pending[b] | pending[c] | pending[d]) {
      for (const std::size_t s : {a, b, c, d}) {
        if (pending[s] && reach(s)) return true;
      }
    }
  }
  state[1] = b;
  state[2] = c;
  state[3] = d;
  for (std::size_t w = 1; w < 4; ++w) {
    while (at[w] != end[w]) {
      state[w] = next[state[w] * 256 + *at[w]++];
      if (pending[state[w]] && reach(state[w])) return true;
    }
  }
  return false;
}

void KeywordAutomaton::count_all(std::string_view text, std::span<std::uint64_t> counts,
                                 std::span<std::size_t> first_end) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::uint16_t* const next = next_.data();
  // Counted by state, and only at the end by keyword: a state reports all its keywords.
  std::vector<std::uint64_t> reached(matches_.size(), 0);
  std::vector<std::size_t> first(matches_.size(), std::string_view::npos);
  // A whitespace byte leaves the state as it was, so a state is counted only on a byte of
  // words, not again on the blanks after it.
  const auto record = [&](std::size_t state, const unsigned char* after) {
    if (kWhitespace[after[-1]]) return;
    if (reached[state]++ == 0)
      first[state] = static_cast<std::size_t>(after - bytes) - 1;
    else
      first[state] = std::min(first[state], static_cast<std::size_t>(after - bytes) - 1);
  };
  const auto settle = [&] {
    for (std::size_t state = 0; state < matches_.size(); ++state) {
      if (reached[state] == 0) continue;
      for (const std::uint16_t k : matches_[state]) {
        counts[k] += reached[state];
        first_end[k] = std::min(first_end[k], first[state]);
      }
    }
  };
  if (text.size() < kShortText) {
    std::size_t state = 0;
    for (const unsigned char* at = bytes; at != bytes + text.size();) {
      state = next[state * 256 + *at++];
      if (has_matches_[state]) record(state, at);
    }
    settle();
    return;
  }
  // Four walks side by side, as in find_all; every walk but the first is first brought to
  // the state its quarter begins in, counting nothing, so no occurrence is counted twice.
  const unsigned char* at[4];
  const unsigned char* end[4];
  std::size_t state[4] = {};
  for (std::size_t w = 0; w < 4; ++w) {
    at[w] = bytes + text.size() * w / 4;
    end[w] = bytes + text.size() * (w + 1) / 4;
    const unsigned char* from = at[w];
    for (std::size_t kept = 0; from != bytes && kept + 1 < longest_;) {
      kept += !kWhitespace[*--from];
    }
    while (from != at[w]) state[w] = next[state[w] * 256 + *from++];
  }
  const char* const has = has_matches_.data();
  std::size_t a = state[0], b = state[1], c = state[2], d = state[3];
  while (at[0] != end[0]) {  // the first walk is never the longer one
    a = next[a * 256 + *at[0]++];
    b = next[b * 256 + *at[1]++];
    c = next[c * 256 + *at[2]++];
    d = next[d * 256 + *at[3]++];
    if (has[a] | has[b] | has[c] | has[d]) {
      if (has[a]) record(a, at[0]);
      if (has[b]) record(b, at[1]);
      if (has[c]) record(c, at[2]);
      if (has[d]) record(d, at[3]);
    }
  }
  state[1] = b;
  state[2] = c;
  state[3] = d;
  for (std::size_t w = 1; w < 4; ++w) {
    while (at[w] != end[w]) {
      state[w] = next[state[w] * 256 + *at[w]++];
      if (has[state[w]]) record(state[w], at[w]);
    }
  }
  settle();
}

void KeywordAutomaton::matches_in(std::string_view text,
                                  std::vector<std::pair<std::size_t, std::size_t>>& out) const {
  std::size_t state = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    state = next_[state * 256 + static_cast<unsigned char>(text[i])];
    for (const std::uint16_t k : matches_[state]) out.emplace_back(k, i);
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
  // Keywords beyond the automaton's capacity are left to the direct search.
  std::size_t states = 1;
  for (std::size_t i = 0; i < settled_.size(); ++i) {
    states += settled_[i].size();
    if (states > kMaxStates) {
      settled_.resize(i);
      break;
    }
  }
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
                           std::span<std::size_t> first_end) const {
  automaton_->count_all(text, counts, first_end);
}

void KeywordSet::matches_in(std::string_view text,
                            std::vector<std::pair<std::size_t, std::size_t>>& out) const {
  automaton_->matches_in(text, out);
}

std::size_t KeywordSet::index_of(std::string_view keyword) const {
  const std::string bare = without_whitespace(keyword);
  const auto it = std::lower_bound(settled_.begin(), settled_.end(), bare);
  return it != settled_.end() && *it == bare ? static_cast<std::size_t>(it - settled_.begin())
                                             : settled_.size();
}

KeywordScan::KeywordScan(const KeywordSet& keywords)
    : set_(keywords), found_(keywords.size(), false) {}

KeywordScan::KeywordScan(std::string_view scanned, std::span<const std::string_view> keywords)
    : KeywordScan(scanned, std::make_unique<const KeywordSet>(keywords)) {}

// The set stays where it was made; only the pointer that owns it moves in.
KeywordScan::KeywordScan(std::string_view scanned, std::unique_ptr<const KeywordSet> own)
    : KeywordScan(scanned, *own) {
  own_ = std::move(own);
}

KeywordScan::KeywordScan(std::string_view scanned, const KeywordSet& keywords)
    : set_(keywords), text_(searchable_part(scanned)), found_(set_.settled_.size(), false) {
  set_.find_all(text_, found_);
}

void KeywordScan::add(const std::vector<bool>& found) {
  for (std::size_t k = 0; k < found_.size(); ++k) {
    if (found[k]) found_[k] = true;
  }
}

bool KeywordScan::all_found() const {
  return std::find(found_.begin(), found_.end(), false) == found_.end();
}

bool KeywordScan::contains(std::string_view keyword) const {
  const std::string bare = without_whitespace(keyword);
  const std::vector<std::string>& settled = set_.settled_;
  const auto it = std::lower_bound(settled.begin(), settled.end(), bare);
  if (it != settled.end() && *it == bare) return found_[it - settled.begin()];
  return text_.find(bare) != std::string_view::npos;
}

bool scanned_contains(const KeywordScan& scan, std::string_view keyword) {
  return scan.contains(keyword);
}

}  // namespace orven
