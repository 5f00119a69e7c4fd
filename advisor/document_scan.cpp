// One document: the keyword automaton over its words, each occurrence kept where its rule's
// section is open, where it is code of its keyword's kind (a file of a language), and where
// no marker turns the rule off on its line.
#include "advisor/document_scan.h"

#include <algorithm>
#include <optional>

#include "advisor/code_lexers.h"
#include "advisor/keyword_kinds.h"
#include "advisor/keyword_scan.h"
#include "advisor/languages.h"
#include "advisor/rule_index.h"
#include "advisor/scan.h"
#include "advisor/suppression.h"
#include "base/whitespace.h"
#include "texts/report.h"

namespace orven {

namespace {

bool is_ident(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;
}

// Whether the occurrence from `begin` to `last` is code of the kind its keyword must be: its
// bytes of the right class, no blank taken out between two identifier characters, its ends
// not inside a longer word where the kind says so.
bool counts_in_code(std::string_view t, const std::vector<CodeClass>& classes, std::size_t begin,
                    std::size_t last, KeywordKind kind) {
  std::size_t previous = begin;
  for (std::size_t i = begin; i <= last; ++i) {
    if (is_whitespace(t[i])) continue;
    CodeClass want = CodeClass::code;
    switch (kind) {
      case KeywordKind::directive:
        want = i == begin ? CodeClass::directive : CodeClass::code;
        break;
      case KeywordKind::header:
        want = CodeClass::header;
        break;
      case KeywordKind::tag:
      case KeywordKind::tag_name:
        want = CodeClass::tag;
        break;
      case KeywordKind::open_tag:
        want = CodeClass::open_tag;
        break;
      default:
        break;
    }
    if (classes[i] != want) return false;
    if (i > previous + 1 && is_ident(t[previous]) && is_ident(t[i])) return false;
    previous = i;
  }
  const bool start_bound = kind == KeywordKind::word || kind == KeywordKind::prefix;
  const bool end_bound =
      kind != KeywordKind::prefix && kind != KeywordKind::header && kind != KeywordKind::open_tag;
  if (start_bound && is_ident(t[begin]) && begin > 0 && is_ident(t[begin - 1])) return false;
  if (end_bound && is_ident(t[last]) && last + 1 < t.size() && is_ident(t[last + 1])) return false;
  if (kind == KeywordKind::tag_name) {
    const bool after_open =
        begin >= 1 &&
        (t[begin - 1] == '<' || (t[begin - 1] == '/' && begin >= 2 && t[begin - 2] == '<'));
    if (!after_open) return false;
  }
  return true;
}

// The kind of each keyword of the advisor's set, made once.
const std::vector<KeywordKind>& keyword_kinds() {
  static const std::vector<KeywordKind> kinds = [] {
    const KeywordSet& keywords = advisor_keywords();
    std::vector<KeywordKind> by_index(keywords.size(), KeywordKind::word);
    for (const KeywordKindEntry& entry : kKeywordKinds) {
      const std::size_t k = keywords.index_of(entry.keyword);
      if (k < keywords.size()) by_index[k] = entry.kind;
    }
    return by_index;
  }();
  return kinds;
}

// The rules each keyword of the advisor's set fires, made once.
const std::vector<std::vector<std::size_t>>& keyword_rules() {
  static const std::vector<std::vector<std::size_t>> rules = rules_by_keyword(advisor_keywords());
  return rules;
}

// The rules turned off on each line that markers reach, and in the whole file.
class Suppressions {
 public:
  explicit Suppressions(std::string_view text) {
    const std::vector<Marker> markers = markers_in(text);
    if (markers.empty()) return;
    // The line starts, CR LF, LF and CR each ending one.
    line_starts_.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
        line_starts_.push_back(i + 1);
      }
    }
    for (const Marker& m : markers) {
      const std::size_t line = line_of(m.begin);
      switch (m.scope) {
        case Marker::Scope::line:
          lines_.emplace_back(line, m.rules);
          break;
        case Marker::Scope::next_line:
          lines_.emplace_back(line + 1, m.rules);
          break;
        case Marker::Scope::file:
          file_ |= m.rules;
          break;
      }
    }
  }

  bool any() const { return !line_starts_.empty(); }

  // Whether the rule is off for an occurrence whose first byte is at `at`.
  bool off(std::size_t rule, std::size_t at) const {
    if (file_.test(rule)) return true;
    if (lines_.empty()) return false;
    const std::size_t line = line_of(at);
    return std::any_of(lines_.begin(), lines_.end(), [&](const auto& entry) {
      return entry.first == line && entry.second.test(rule);
    });
  }

 private:
  std::size_t line_of(std::size_t at) const {
    return static_cast<std::size_t>(std::upper_bound(line_starts_.begin(), line_starts_.end(), at) -
                                    line_starts_.begin() - 1);
  }

  std::vector<std::size_t> line_starts_;
  std::vector<std::pair<std::size_t, RuleSet>> lines_;
  RuleSet file_;
};

}  // namespace

std::vector<DocumentHit> document_hits(std::string_view text, const std::filesystem::path& name,
                                       std::size_t limit) {
  std::vector<DocumentHit> hits;
  if (limit == 0) return hits;
  text = searchable_part(text);
  const KeywordSet& keywords = advisor_keywords();
  const Language language = language_of(name);
  const std::optional<Section> section = section_of(language);
  // Memory kept from one call to the next: an editor asks on every change, and fresh pages
  // for a large document cost more than the scan.
  thread_local std::vector<CodeClass> classes;
  thread_local std::vector<std::pair<std::size_t, std::size_t>> matches;
  // A file of a language is matched in code; one of no language as text.
  if (section) classify(text, language, classes);
  const std::vector<KeywordKind>& kinds = keyword_kinds();

  matches.clear();
  keywords.matches_in_words(text, matches);
  bool section_open[2] = {section == Section::web, section == Section::cpp};
  if (!section) {
    // A file of no language is matched as text: the gate keywords open the sections.
    const auto holds = [&](std::span<const std::string_view> gate) {
      for (const std::string_view keyword : gate) {
        const std::size_t k = keywords.index_of(keyword);
        if (std::any_of(matches.begin(), matches.end(),
                        [&](const auto& match) { return match.first == k; })) {
          return true;
        }
      }
      return false;
    };
    section_open[0] = holds(texts::kWebGate);
    section_open[1] = holds(texts::kCppGate);
  }

  struct Found {
    std::size_t begin, rule, end;
    auto operator<=>(const Found&) const = default;
  };
  thread_local std::vector<Found> found;
  found.clear();
  const Suppressions suppressions(text);
  const std::vector<std::vector<std::size_t>>& rules = keyword_rules();
  const std::span<const RuleRef> all = all_rules();
  for (const auto& [k, last] : matches) {
    const std::size_t begin = keywords.first_byte(text, k, last);
    if (section && !counts_in_code(text, classes, begin, last, kinds[k])) continue;
    for (const std::size_t rule : rules[k]) {
      if (!section_open[all[rule].section == Section::web ? 0 : 1]) continue;
      if (suppressions.any() && suppressions.off(rule, begin)) continue;
      found.push_back({begin, rule, last + 1});
    }
  }
  // In order of begin, and of the rules' order where two rules share a keyword.
  if (found.size() > limit) {
    std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(limit),
                      found.end());
    found.resize(limit);
  } else {
    std::sort(found.begin(), found.end());
  }
  hits.reserve(found.size());
  for (const Found& f : found) {
    hits.push_back({rule_id(all[f.rule].section, all[f.rule].index), f.begin, f.end});
  }
  return hits;
}

}  // namespace orven
