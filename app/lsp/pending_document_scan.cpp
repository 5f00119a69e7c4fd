// STAND-IN for advisor/document_scan.h (see pending_document_scan.h): keywords matched in
// the document's words with blanks taken out (text mode), the section by the name's ending,
// and the orven-disable markers read on raw lines. Deleted when the real scan lands.
#include "app/lsp/pending_document_scan.h"

#include <algorithm>
#include <set>
#include <utility>

#include "advisor/findings.h"
#include "advisor/input_walk.h"
#include "advisor/keyword_scan.h"
#include "advisor/scan.h"
#include "base/whitespace.h"
#include "texts/cpp_rules.h"
#include "texts/web_rules.h"

namespace orven {

namespace {

std::string lower_ending(const std::filesystem::path& name) {
  const std::u8string e = name.extension().u8string();
  std::string ending(e.begin(), e.end());
  for (char& c : ending) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ending;
}

// The markers of each line: ids ("all" too) that line turns off, and those of the file.
struct Markers {
  std::vector<std::set<std::string>> lines;
  std::set<std::string> file;
  bool off(std::size_t line, const std::string& id) const {
    const auto has = [&](const std::set<std::string>& s) {
      return s.contains(id) || s.contains("all");
    };
    return has(file) || (line < lines.size() && has(lines[line]));
  }
};

void read_ids(std::string_view rest, std::set<std::string>& into) {
  rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t")));
  std::string id;
  for (const char c : rest) {
    if (c == ',') {
      if (!id.empty()) into.insert(std::exchange(id, {}));
    } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      id += c;
    } else {
      break;
    }
  }
  if (!id.empty()) into.insert(id);
}

Markers markers_of(std::string_view text, std::vector<std::size_t>& starts) {
  Markers m;
  starts.assign(1, 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      starts.push_back(i + 1);
    }
  }
  m.lines.resize(starts.size() + 1);
  for (std::size_t line = 0; line < starts.size(); ++line) {
    const std::size_t end = line + 1 < starts.size() ? starts[line + 1] : text.size();
    const std::string_view raw = text.substr(starts[line], end - starts[line]);
    static constexpr std::pair<std::string_view, int> kForms[] = {
        {"orven-disable-next-line", 1}, {"orven-disable-line", 0}, {"orven-disable-file", -1}};
    for (const auto& [form, where] : kForms) {
      for (std::size_t at = raw.find(form); at != std::string_view::npos;
           at = raw.find(form, at + 1)) {
        std::set<std::string>& into = where < 0 ? m.file : m.lines[line + where];
        read_ids(raw.substr(at + form.size()), into);
      }
    }
  }
  return m;
}

}  // namespace

std::vector<DocumentHit> document_hits(std::string_view text, const std::filesystem::path& name,
                                       std::size_t limit) {
  const std::string ending = lower_ending(name);
  const auto has = [&](std::initializer_list<std::string_view> endings) {
    return std::find(endings.begin(), endings.end(), ending) != endings.end();
  };
  std::span<const texts::Rule> rules;
  Section section = Section::web;
  if (has({".php", ".inc", ".phtml", ".html", ".htm", ".xhtml", ".js", ".mjs"})) {
    rules = texts::kWebRules;
  } else if (has({".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp", ".hxx", ".inl"})) {
    rules = texts::kCppRules;
    section = Section::cpp;
  } else {
    return {};
  }
  text = text.substr(0, text.find('\0'));
  // The words without their blanks, and where each of their bytes lies in the text.
  std::string words;
  std::vector<std::size_t> from;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_whitespace(text[i])) continue;
    words += text[i];
    from.push_back(i);
  }
  const KeywordSet& keywords = advisor_keywords();
  std::vector<std::pair<std::size_t, std::size_t>> matches;
  keywords.matches_in(words, matches);
  std::vector<std::size_t> starts;
  const Markers markers = markers_of(text, starts);
  std::vector<DocumentHit> hits;
  for (std::size_t r = 0; r < rules.size(); ++r) {
    const std::string id = rule_id(section, r);
    for (const std::string_view keyword : rules[r].keywords) {
      if (keyword.empty()) continue;
      const std::size_t k = keywords.index_of(without_whitespace(keyword));
      for (const auto& [index, last] : matches) {
        if (index != k) continue;
        const std::size_t begin = from[last + 1 - keywords.keyword(k).size()];
        const std::size_t line = static_cast<std::size_t>(
            std::upper_bound(starts.begin(), starts.end(), begin) - starts.begin() - 1);
        if (!markers.off(line, id)) hits.push_back({id, begin, from[last] + 1});
      }
    }
  }
  std::sort(hits.begin(), hits.end(), [](const DocumentHit& a, const DocumentHit& b) {
    return std::tie(a.begin, a.id) < std::tie(b.begin, b.id);
  });
  hits.erase(std::unique(hits.begin(), hits.end(),
                         [](const DocumentHit& a, const DocumentHit& b) {
                           return a.begin == b.begin && a.id == b.id;
                         }),
             hits.end());
  if (hits.size() > limit) hits.resize(limit);
  return hits;
}

}  // namespace orven
