#include "advisor/ignore_rules.h"

#include <algorithm>
#include <cstring>

namespace orven {

namespace {

// git's own character classes, which no locale changes: ASCII only, and "space" is blank,
// tab, LF and CR (not the vertical tab or the form feed).
bool is_upper(unsigned char c) {
  return c >= 'A' && c <= 'Z';
}
bool is_lower(unsigned char c) {
  return c >= 'a' && c <= 'z';
}
bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool is_alpha(unsigned char c) {
  return is_upper(c) || is_lower(c);
}
bool is_alnum(unsigned char c) {
  return is_alpha(c) || is_digit(c);
}
bool is_graph(unsigned char c) {
  return c > ' ' && c < 127;
}
unsigned char to_lower(unsigned char c) {
  return is_upper(c) ? c - 'A' + 'a' : c;
}
unsigned char to_upper(unsigned char c) {
  return is_lower(c) ? c - 'a' + 'A' : c;
}
bool is_glob_special(unsigned char c) {
  return c == '*' || c == '?' || c == '[' || c == '\\';
}

bool in_class(std::string_view name, unsigned char c, bool casefold, bool& known) {
  known = true;
  if (name == "alnum") return is_alnum(c);
  if (name == "alpha") return is_alpha(c);
  if (name == "blank") return c == ' ' || c == '\t';
  if (name == "cntrl") return c < ' ' || c == 127;
  if (name == "digit") return is_digit(c);
  if (name == "graph") return is_graph(c);
  if (name == "lower") return is_lower(c);
  if (name == "print") return c >= ' ' && c < 127;
  if (name == "punct") return is_graph(c) && !is_alnum(c);
  if (name == "space") return c == ' ' || c == '\t' || c == '\n' || c == '\r';
  if (name == "upper") return is_upper(c) || (casefold && is_lower(c));
  if (name == "xdigit") return is_digit(c) || (to_lower(c) >= 'a' && to_lower(c) <= 'f');
  known = false;
  return false;
}

// git's wildmatch (wildmatch.c, dowild), step for step, so that every odd pattern means what
// it means to git; what it adds is a memory of the results already known for a place in
// the pattern and a place in the text. The plain recursion is tried first with a budget of
// steps; only a pattern that runs past it (stars that try every split, "**/" over and over)
// is run again with the memory, which bounds the work by the number of such places.
class Wildmatch {
 public:
  enum Result { kMatch, kNoMatch, kAbortAll, kAbortToStarStar, kOverBudget };

  Wildmatch(std::string_view pattern, std::string_view text, unsigned flags)
      : p_(pattern),
        t_(text),
        pathname_((flags & kWildPathname) != 0),
        casefold_((flags & kWildCasefold) != 0),
        budget_(64 * (pattern.size() + text.size() + 4)) {}

  bool run() {
    Result r = dowild(0, 0);
    if (r == kOverBudget) {
      remember_ = true;
      r = dowild(0, 0);
    }
    return r == kMatch;
  }

 private:
  unsigned char P(std::size_t i) const {
    return i < p_.size() ? static_cast<unsigned char>(p_[i]) : 0;
  }
  unsigned char T(std::size_t i) const {
    return i < t_.size() ? static_cast<unsigned char>(t_[i]) : 0;
  }

  Result dowild(std::size_t p, std::size_t t) {
    if (!remember_) {
      if (steps_++ > budget_) return kOverBudget;
      return step(p, t);
    }
    const std::uint64_t key = (std::uint64_t{p} << 32) | t;
    if (const auto known = memory_.find(key); known != memory_.end()) return known->second;
    const Result r = step(p, t);
    memory_.emplace(key, r);
    return r;
  }

  Result step(std::size_t p, std::size_t text) {
    const std::size_t pattern = p;
    unsigned char p_ch;
    for (; (p_ch = P(p)) != 0; ++text, ++p) {
      unsigned char t_ch = T(text);
      if (t_ch == 0 && p_ch != '*') return kAbortAll;
      if (casefold_ && is_upper(t_ch)) t_ch = to_lower(t_ch);
      if (casefold_ && is_upper(p_ch)) p_ch = to_lower(p_ch);
      switch (p_ch) {
        case '\\':
          // The escaped byte is compared as written, never folded (as git does).
          p_ch = P(++p);
          if (t_ch != p_ch) return kNoMatch;
          continue;
        default:
          if (t_ch != p_ch) return kNoMatch;
          continue;
        case '?':
          if (pathname_ && t_ch == '/') return kNoMatch;
          continue;
        case '*': {
          bool match_slash;
          const std::size_t first_star = p;
          if (P(++p) == '*') {
            while (P(++p) == '*') {
            }
            if (!pathname_) {
              match_slash = true;
            } else if ((first_star == pattern || P(first_star - 1) == '/') &&
                       (P(p) == 0 || P(p) == '/' || (P(p) == '\\' && P(p + 1) == '/'))) {
              // "**/" may match no folder at all: "a/**/b" matches "a/b".
              if (P(p) == '/') {
                const Result r = dowild(p + 1, text);
                if (r == kMatch || r == kOverBudget) return r;
              }
              match_slash = true;
            } else {
              match_slash = false;
            }
          } else {
            match_slash = !pathname_;
          }
          if (P(p) == 0) {
            // A trailing "**" matches everything, a trailing "*" only what has no more "/".
            if (!match_slash && t_.find('/', text) != std::string_view::npos) return kNoMatch;
            return kMatch;
          }
          if (!match_slash && P(p) == '/') {
            // One star followed by a slash matches up to the next folder.
            const std::size_t slash = t_.find('/', text);
            if (slash == std::string_view::npos) return kNoMatch;
            text = slash;
            break;  // the slash is consumed by the loop
          }
          for (;;) {
            if (t_ch == 0) break;
            if (!remember_ && ++steps_ > budget_) return kOverBudget;
            // A literal after the stars: skip to where it can start.
            if (!is_glob_special(P(p))) {
              p_ch = P(p);
              if (casefold_ && is_upper(p_ch)) p_ch = to_lower(p_ch);
              while ((t_ch = T(text)) != 0 && (match_slash || t_ch != '/')) {
                if (casefold_ && is_upper(t_ch)) t_ch = to_lower(t_ch);
                if (t_ch == p_ch) break;
                ++text;
                ++steps_;
              }
              if (t_ch != p_ch) return kNoMatch;
            }
            const Result matched = dowild(p, text);
            if (matched == kOverBudget) return matched;
            if (matched != kNoMatch) {
              if (!match_slash || matched != kAbortToStarStar) return matched;
            } else if (!match_slash && t_ch == '/') {
              return kAbortToStarStar;
            }
            t_ch = T(++text);
          }
          return kAbortAll;
        }
        case '[': {
          p_ch = P(++p);
          if (p_ch == '^') p_ch = '!';
          const bool negated = p_ch == '!';
          if (negated) p_ch = P(++p);
          unsigned char prev_ch = 0;
          bool matched = false;
          do {
            if (p_ch == 0) return kAbortAll;
            if (p_ch == '\\') {
              p_ch = P(++p);
              if (p_ch == 0) return kAbortAll;
              if (t_ch == p_ch) matched = true;
            } else if (p_ch == '-' && prev_ch != 0 && P(p + 1) != 0 && P(p + 1) != ']') {
              p_ch = P(++p);
              if (p_ch == '\\') {
                p_ch = P(++p);
                if (p_ch == 0) return kAbortAll;
              }
              if (t_ch <= p_ch && t_ch >= prev_ch) {
                matched = true;
              } else if (casefold_ && is_lower(t_ch)) {
                const unsigned char upper = to_upper(t_ch);
                if (upper <= p_ch && upper >= prev_ch) matched = true;
              }
              p_ch = 0;  // so that prev_ch becomes 0
            } else if (p_ch == '[' && P(p + 1) == ':') {
              const std::size_t s = p += 2;
              while ((p_ch = P(p)) != 0 && p_ch != ']') ++p;
              if (p_ch == 0) return kAbortAll;
              if (p < s + 1 || P(p - 1) != ':') {
                // No ":]": a plain "[" in the set.
                p = s - 2;
                p_ch = '[';
                if (t_ch == p_ch) matched = true;
                continue;
              }
              bool known = false;
              if (in_class(p_.substr(s, p - 1 - s), t_ch, casefold_, known)) matched = true;
              if (!known) return kAbortAll;
              p_ch = 0;
            } else if (t_ch == p_ch) {
              matched = true;
            }
          } while (prev_ch = p_ch, (p_ch = P(++p)) != ']');
          if (matched == negated || (pathname_ && t_ch == '/')) return kNoMatch;
          continue;
        }
      }
    }
    return text < t_.size() ? kNoMatch : kMatch;
  }

  std::string_view p_;
  std::string_view t_;
  bool pathname_;
  bool casefold_;
  std::size_t budget_;
  std::size_t steps_ = 0;
  bool remember_ = false;
  std::unordered_map<std::uint64_t, Result> memory_;
};

bool same_bytes(std::string_view a, std::string_view b, bool casefold) {
  if (a.size() != b.size()) return false;
  if (!casefold) return a == b;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (to_lower(static_cast<unsigned char>(a[i])) != to_lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool has_wildcard(std::string_view s) {
  return std::any_of(s.begin(), s.end(),
                     [](char c) { return is_glob_special(static_cast<unsigned char>(c)); });
}

std::string folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(to_lower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

bool wildmatch(std::string_view pattern, std::string_view text, unsigned flags) {
  return Wildmatch(pattern, text, flags).run();
}

std::string IgnoreRule::text() const {
  return (negated ? "!" : "") + pattern + (folder_only ? "/" : "");
}

std::vector<IgnoreRule> parse_ignore_rules(std::string_view text) {
  std::vector<IgnoreRule> rules;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::uint64_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.empty() || line.front() == '#') continue;
    if (line.back() == '\r') line.remove_suffix(1);
    line = line.substr(0, line.find('\0'));
    // Trailing blanks go, unless a backslash keeps the one after it.
    std::size_t keep = 0;  // up to the last byte that is not a trailing blank
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == ' ') continue;
      if (line[i] == '\\' && ++i == line.size()) {
        keep = line.size();
        break;
      }
      keep = i + 1;
    }
    line = line.substr(0, keep);
    IgnoreRule rule;
    rule.line = number;
    if (!line.empty() && line.front() == '!') {
      rule.negated = true;
      line.remove_prefix(1);
    }
    const std::size_t simple = std::min(
        line.size(),
        static_cast<std::size_t>(
            std::find_if(line.begin(), line.end(),
                         [](char c) { return is_glob_special(static_cast<unsigned char>(c)); }) -
            line.begin()));
    if (!line.empty() && line.back() == '/') {
      rule.folder_only = true;
      line.remove_suffix(1);
    }
    if (line.empty()) continue;  // matches nothing
    rule.name_only = line.find('/') == std::string_view::npos;
    rule.literal = static_cast<std::uint32_t>(std::min(simple, line.size()));
    rule.pattern = line;
    rules.push_back(std::move(rule));
  }
  return rules;
}

bool rule_matches(const IgnoreRule& rule, std::string_view below, std::string_view name,
                  bool casefold) {
  std::string_view pattern = rule.pattern;
  const unsigned fold = casefold ? kWildCasefold : 0;
  if (rule.name_only) {
    if (rule.literal == pattern.size()) return same_bytes(pattern, name, casefold);
    if (pattern.front() == '*' && !has_wildcard(pattern.substr(1))) {
      return name.size() >= pattern.size() - 1 &&
             same_bytes(pattern.substr(1), name.substr(name.size() - (pattern.size() - 1)),
                        casefold);
    }
    return wildmatch(pattern, name, fold);
  }
  // Anchored: the bytes before the first wildcard are compared as they are, the rest
  // matched by wildmatch from there (so a "**" right after them counts as after a "/").
  std::size_t prefix = rule.literal;
  if (pattern.front() == '/') {
    pattern.remove_prefix(1);
    --prefix;
  }
  if (prefix != 0) {
    if (prefix > below.size() ||
        !same_bytes(pattern.substr(0, prefix), below.substr(0, prefix), casefold)) {
      return false;
    }
    pattern.remove_prefix(prefix);
    below.remove_prefix(prefix);
    if (pattern.empty() && below.empty()) return true;
  }
  return wildmatch(pattern, below, kWildPathname | fold);
}

RuleStack::RuleStack() = default;
RuleStack::~RuleStack() = default;

// Where a rule is kept: a name without wildcards by itself, a wildcard name with its copies,
// an anchored rule by the depth its slashes fix, or with the other anchored rules.
struct RuleStack::Slot {
  enum Kind { exact, folded, wild, by_depth, anchored } kind;
  std::string key;
  std::size_t depth = 0;

  Slot(const RuleFile& file, const IgnoreRule& rule) {
    std::string_view pattern = rule.pattern;
    if (rule.name_only) {
      if (rule.literal == pattern.size()) {
        kind = file.casefold ? folded : exact;
        key = file.casefold ? orven::folded(pattern) : std::string(pattern);
        return;
      }
      kind = wild;
      key = pattern;
      key += '\0';
      key += static_cast<char>('0' + (rule.negated ? 1 : 0) + (rule.folder_only ? 2 : 0) +
                               (file.casefold ? 4 : 0));
      return;
    }
    if (pattern.front() == '/') pattern.remove_prefix(1);
    if (pattern.find("**") == std::string_view::npos &&
        pattern.find_first_of("[\\") == std::string_view::npos) {
      // Each "/" of such a pattern matches one "/" of the path, and nothing else does.
      kind = by_depth;
      depth = file.depth + 1 +
              static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '/'));
      return;
    }
    kind = anchored;
  }
};

std::vector<RuleStack::Ref>* RuleStack::refs(const Slot& slot, bool add) {
  const auto in = [&](auto& map, const auto& key) -> std::vector<Ref>* {
    if (add) return &map.try_emplace(key).first->second;
    const auto at = map.find(key);
    return at == map.end() ? nullptr : &at->second;
  };
  switch (slot.kind) {
    case Slot::exact:
      return in(exact_names_, slot.key);
    case Slot::folded:
      return in(folded_names_, slot.key);
    case Slot::wild:
      return in(wild_names_, slot.key);
    case Slot::by_depth:
      return in(by_depth_, slot.depth);
    case Slot::anchored:
      break;
  }
  return &anchored_;
}

void RuleStack::index(const RuleFile& file, bool add) {
  if (add) {
    for (const IgnoreRule& rule : file.rules) {
      refs(Slot(file, rule), true)->push_back({&file, &rule, next_rank_++});
    }
    return;
  }
  // The file's rules are the last ones in every slot they went to. An emptied slot goes, so
  // that the names and depths kept are those of the files held.
  for (auto rule = file.rules.rbegin(); rule != file.rules.rend(); ++rule) {
    const Slot slot(file, *rule);
    std::vector<Ref>* held = refs(slot, false);
    if (held == nullptr || held->empty()) continue;
    held->pop_back();
    if (!held->empty()) continue;
    switch (slot.kind) {
      case Slot::exact:
        exact_names_.erase(slot.key);
        break;
      case Slot::folded:
        folded_names_.erase(slot.key);
        break;
      case Slot::wild:
        wild_names_.erase(slot.key);
        break;
      case Slot::by_depth:
        by_depth_.erase(slot.depth);
        break;
      case Slot::anchored:
        break;
    }
  }
}

void RuleStack::push(std::unique_ptr<RuleFile> file) {
  if (file == nullptr) file = std::make_unique<RuleFile>();  // holds the place: no rules
  files_.push_back(std::move(file));
  try {
    index(*files_.back(), true);
  } catch (...) {
    pop();
    throw;
  }
}

void RuleStack::pop() {
  if (files_.empty()) return;
  index(*files_.back(), false);
  files_.pop_back();
}

RuleStack::Found RuleStack::test(const NamePath& path, bool folder, std::size_t least_depth) const {
  const std::size_t depth = path.starts.size();
  if (depth == 0 || files_.empty()) return {};
  const std::string_view name = path.text.substr(path.starts.back());
  const Ref* best = nullptr;
  const auto applies = [&](const Ref& ref) {
    return ref.file->depth >= least_depth && ref.file->depth < depth &&
           (folder || !ref.rule->folder_only) && (best == nullptr || ref.rank > best->rank);
  };
  const auto below = [&](const Ref& ref) { return path.text.substr(path.starts[ref.file->depth]); };
  // The copies of a name kept in one slot rank from the shallowest to the deepest: the
  // deepest that applies is the one that counts.
  const auto last_applying = [&](const std::vector<Ref>& refs, bool must_match) {
    for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
      if (ref->file->depth < least_depth || (best != nullptr && ref->rank <= best->rank)) return;
      if (!applies(*ref)) continue;
      if (!must_match || rule_matches(*ref->rule, below(*ref), name, ref->file->casefold)) {
        best = &*ref;
        return;
      }
    }
  };
  if (const auto at = exact_names_.find(std::string(name)); at != exact_names_.end()) {
    last_applying(at->second, false);
  }
  if (!folded_names_.empty()) {
    if (const auto at = folded_names_.find(folded(name)); at != folded_names_.end()) {
      last_applying(at->second, false);
    }
  }
  for (const auto& [key, refs] : wild_names_) {
    // All copies of one rule: if the deepest does not apply or match, none does.
    if (refs.empty()) continue;
    const Ref& ref = refs.back();
    if (applies(ref) && rule_matches(*ref.rule, below(ref), name, ref.file->casefold)) {
      best = &ref;
    }
  }
  if (const auto at = by_depth_.find(depth); at != by_depth_.end()) last_applying(at->second, true);
  last_applying(anchored_, true);
  if (best == nullptr) return {};
  return {best->file, best->rule};
}

}  // namespace orven
