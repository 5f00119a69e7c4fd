// One document: the keyword automaton over its words, each occurrence kept where its rule's
// section is open and no marker turns the rule off on its line.
#include "advisor/document_scan.h"

#include <algorithm>
#include <optional>

#include "advisor/keyword_scan.h"
#include "advisor/languages.h"
#include "advisor/rule_index.h"
#include "advisor/scan.h"
#include "advisor/suppression.h"
#include "texts/report.h"

namespace orven {

namespace {

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
  const std::optional<Section> section = section_of(language_of(name));

  std::vector<std::pair<std::size_t, std::size_t>> matches;
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
  std::vector<Found> found;
  const Suppressions suppressions(text);
  const std::vector<std::vector<std::size_t>>& rules = keyword_rules();
  const std::span<const RuleRef> all = all_rules();
  for (const auto& [k, last] : matches) {
    const std::size_t begin = keywords.first_byte(text, k, last);
    for (const std::size_t rule : rules[k]) {
      if (!section_open[all[rule].section == Section::web ? 0 : 1]) continue;
      if (suppressions.any() && suppressions.off(rule, begin)) continue;
      found.push_back({begin, rule, last + 1});
    }
  }
  // In order of begin, and of the rules' order where two rules share a keyword.
  std::sort(found.begin(), found.end());
  if (found.size() > limit) found.resize(limit);
  hits.reserve(found.size());
  for (const Found& f : found) {
    hits.push_back({rule_id(all[f.rule].section, all[f.rule].index), f.begin, f.end});
  }
  return hits;
}

}  // namespace orven
