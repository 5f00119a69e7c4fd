#include "advisor/ignore_rules.h"

#include <cctype>
#include <cstring>

namespace orven {

namespace {

enum Result { kMatch, kNoMatch, kAbortAll, kAbortToStarStar };

bool class_known(std::string_view name) {
  for (const char* known : {"alnum", "alpha", "blank", "cntrl", "digit", "graph", "lower", "print",
                            "punct", "space", "upper", "xdigit"}) {
    if (name == known) return true;
  }
  return false;
}

bool class_holds(std::string_view name, unsigned char c) {
  if (name == "alnum") return std::isalnum(c) != 0;
  if (name == "alpha") return std::isalpha(c) != 0;
  if (name == "blank") return c == ' ' || c == '\t';
  if (name == "cntrl") return std::iscntrl(c) != 0;
  if (name == "digit") return std::isdigit(c) != 0;
  if (name == "graph") return std::isgraph(c) != 0;
  if (name == "lower") return std::islower(c) != 0;
  if (name == "print") return std::isprint(c) != 0;
  if (name == "punct") return std::ispunct(c) != 0;
  if (name == "space") return std::isspace(c) != 0;
  if (name == "upper") return std::isupper(c) != 0;
  if (name == "xdigit") return std::isxdigit(c) != 0;
  return false;
}

// A bracket expression at p[i] == '['; sets `next` past it. kAbortAll when it never closes.
Result bracket(std::string_view p, std::size_t i, unsigned char t, std::size_t& next) {
  ++i;
  bool negated = false;
  if (i < p.size() && (p[i] == '!' || p[i] == '^')) {
    negated = true;
    ++i;
  }
  bool matched = false;
  unsigned char previous = 0;
  bool first = true;
  for (;; first = false) {
    if (i >= p.size()) return kAbortAll;
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c == ']' && !first) break;
    if (c == '\\') {
      if (++i >= p.size()) return kAbortAll;
      c = static_cast<unsigned char>(p[i]);
      if (t == c) matched = true;
    } else if (c == '-' && previous != 0 && i + 1 < p.size() && p[i + 1] != ']') {
      ++i;
      unsigned char high = static_cast<unsigned char>(p[i]);
      if (high == '\\') {
        if (++i >= p.size()) return kAbortAll;
        high = static_cast<unsigned char>(p[i]);
      }
      if (t <= high && t >= previous) matched = true;
      c = 0;
    } else if (c == '[' && i + 1 < p.size() && p[i + 1] == ':') {
      // "[:name:]" up to the first "]"; without ":" before that "]", a plain "[".
      const std::size_t close = p.find(']', i + 2);
      if (close == std::string_view::npos) return kAbortAll;
      if (close < i + 3 || p[close - 1] != ':') {
        if (t == '[') matched = true;
      } else {
        const std::string_view name = p.substr(i + 2, close - 1 - (i + 2));
        if (!class_known(name)) return kAbortAll;
        if (class_holds(name, t)) matched = true;
        i = close;
        c = 0;
      }
    } else if (t == c) {
      matched = true;
    }
    previous = c;
    ++i;
  }
  next = i + 1;
  if (t == '/') return kNoMatch;  // a bracket never matches a "/" in a path
  return matched != negated ? kMatch : kNoMatch;
}

Result match(std::string_view p, std::size_t i, std::string_view t, std::size_t j) {
  for (; i < p.size(); ++i, ++j) {
    const char pc = p[i];
    if (j >= t.size() && pc != '*') return kAbortAll;
    switch (pc) {
      case '\\':
        if (++i >= p.size()) return kNoMatch;  // a lone backslash at the end matches nothing
        if (t[j] != p[i]) return kNoMatch;
        break;
      case '?':
        if (t[j] == '/') return kNoMatch;
        break;
      case '*': {
        const std::size_t stars = i;
        while (i + 1 < p.size() && p[i + 1] == '*') ++i;
        bool match_slash = false;
        if (i > stars) {  // "**": across folders only where it stands between slashes
          const bool after_slash = stars == 0 || p[stars - 1] == '/';
          const bool before_slash = i + 1 == p.size() || p[i + 1] == '/';
          if (after_slash && before_slash) {
            if (i + 1 < p.size() && match(p, i + 2, t, j) == kMatch) return kMatch;
            match_slash = true;
          }
        }
        if (i + 1 == p.size()) {  // the pattern ends in stars
          if (!match_slash && t.find('/', j) != std::string_view::npos) return kAbortToStarStar;
          return kMatch;
        }
        for (; j < t.size(); ++j) {
          const Result r = match(p, i + 1, t, j);
          if (r != kNoMatch) {
            if (!match_slash || r != kAbortToStarStar) return r;
          } else if (!match_slash && t[j] == '/') {
            return kAbortToStarStar;
          }
        }
        return kAbortAll;
      }
      case '[': {
        std::size_t next = i;
        const Result r = bracket(p, i, static_cast<unsigned char>(t[j]), next);
        if (r != kMatch) return r;
        i = next - 1;
        break;
      }
      default:
        if (t[j] != pc) return kNoMatch;
        break;
    }
  }
  return j == t.size() ? kMatch : kNoMatch;
}

}  // namespace

bool wildmatch(std::string_view pattern, std::string_view text) {
  return match(pattern, 0, text, 0) == kMatch;
}

void IgnoreRules::add_lines(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    add_line(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

void IgnoreRules::add_line(std::string_view line) {
  if (line.empty() || line.front() == '#') return;
  // Trailing blanks go, unless a backslash keeps the one after it.
  std::size_t end = line.size();
  while (end > 0 && line[end - 1] == ' ') {
    std::size_t backslashes = 0;
    while (backslashes < end - 1 && line[end - 2 - backslashes] == '\\') ++backslashes;
    if (backslashes % 2 == 1) break;
    --end;
  }
  line = line.substr(0, end);
  Rule rule;
  if (!line.empty() && line.front() == '!') {
    rule.negated = true;
    line.remove_prefix(1);
  }
  if (!line.empty() && line.back() == '/') {
    rule.folder_only = true;
    line.remove_suffix(1);
  }
  if (line.empty()) return;
  rule.anchored = line.find('/') != std::string_view::npos;
  if (line.front() == '/') line.remove_prefix(1);
  if (line.empty()) return;
  rule.pattern = line;
  rules_.push_back(std::move(rule));
}

IgnoreRules::Verdict IgnoreRules::test(std::string_view path, bool folder) const {
  if (path.substr(0, base_.size()) != base_ || path.size() == base_.size()) return Verdict::none;
  const std::string_view below = path.substr(base_.size());
  const std::size_t slash = below.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? below : below.substr(slash + 1);
  for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule) {
    if (rule->folder_only && !folder) continue;
    if (wildmatch(rule->pattern, rule->anchored ? below : name)) {
      return rule->negated ? Verdict::kept : Verdict::ignored;
    }
  }
  return Verdict::none;
}

}  // namespace orven
