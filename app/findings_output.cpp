// The machine-readable findings. JSON and SARIF are built as nlohmann::json values and
// dumped by the library; nothing here writes JSON by hand.
#include "app/findings_output.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <utility>

#include "app/display_text.h"
#include "app/run_sequence.h"
#include "texts/cpp_rules.h"
#include "texts/messages.h"
#include "texts/product.h"
#include "texts/report.h"
#include "texts/web_rules.h"

namespace orven::app {

namespace {

using nlohmann::ordered_json;
namespace msg = texts::messages;

constexpr std::string_view kSarifSchema = "https://json.schemastore.org/sarif-2.1.0.json";
constexpr std::string_view kSourceRoot = "%SRCROOT%";
// The one message string of every rule: its advice, which each result repeats as its text.
constexpr std::string_view kMessageId = "default";

std::string joined_lines(std::string_view cp1251) {
  std::string text;
  for (std::string line : markup_lines(cp1251)) {
    line.erase(0, line.find_first_not_of(' '));
    line.erase(line.find_last_not_of(' ') + 1);
    if (line.empty()) continue;
    if (!text.empty()) text += ' ';
    text += line;
  }
  return text;
}

// A path as the walk gave it, with forward slashes: its bytes on POSIX, UTF-8 on Windows.
std::string path_text(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return {text.begin(), text.end()};
}

bool valid_utf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t n = utf8_length(bytes);
    if (n == 0) return false;
    bytes.remove_prefix(n);
  }
  return true;
}

std::string section_name(Section section) {
  return section == Section::web ? "web" : "cpp";
}

std::string_view skipped_reason(SkippedInput::Why why) {
  switch (why) {
    case SkippedInput::Why::not_regular:
      return "not_regular";
    case SkippedInput::Why::folder_unlisted:
      return "folder_unlisted";
    case SkippedInput::Why::bad_name:
      return "bad_name";
    case SkippedInput::Why::unreadable:
      break;
  }
  return "unreadable";
}

// RFC 3986: everything but the unreserved characters and the slash is percent-encoded.
std::string uri_path(std::string_view bytes) {
  std::string out;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::string_view("-._~/").find(ch) != std::string_view::npos) {
      out += ch;
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// Whether a finding is left out of gnu and JSON: suppressed in the source (gnu only) or known
// to the baseline.
bool known(const FindingsRunInfo& run, std::size_t i) {
  return run.baseline && i < run.known.size() && run.known[i];
}

// --- JSON -----------------------------------------------------------------------------

// A name under `key`: as it is when it is UTF-8, which JSON holds whatever its characters;
// otherwise escaped, with its bytes percent-encoded under key + "Bytes".
void put_name(ordered_json& object, const std::string& key, const std::filesystem::path& path) {
  const std::string bytes = path_text(path);
  if (valid_utf8(bytes)) {
    object[key] = bytes;
  } else {
    object[key] = escaped_name(bytes);
    object[key + "Bytes"] = uri_path(bytes);
  }
}

ordered_json hit_json(const KeywordHit& hit) {
  ordered_json out = {{"keyword", to_utf8(hit.keyword)}};
  put_name(out, "file", hit.first.file);
  out["line"] = hit.first.line;
  out["column"] = hit.first.column;
  put_name(out, "endFile", hit.last.file);
  out["endLine"] = hit.last.line;
  out["endColumn"] = hit.last.column;
  out["count"] = hit.count;
  return out;
}

std::string json_text(const Findings& f, const FindingsRunInfo& run) {
  ordered_json out;
  out["format"] = "orven-findings";
  out["version"] = kFindingsJsonVersion;
  out["tool"] = {{"name", "orven-cli"}, {"version", to_utf8(texts::kVersion)}};
  out["gates"] = {{"web", f.web_gate ? hit_json(*f.web_gate) : ordered_json(nullptr)},
                  {"cpp", f.cpp_gate ? hit_json(*f.cpp_gate) : ordered_json(nullptr)}};
  ordered_json findings = ordered_json::array();
  std::size_t known_count = 0;
  for (std::size_t i = 0; i < f.findings.size(); ++i) {
    const Finding& finding = f.findings[i];
    if (known(run, i)) {
      ++known_count;
      continue;
    }
    ordered_json item = {{"id", finding.id},
                         {"section", section_name(finding.section)},
                         {"advice", joined_lines(finding.rule->advice)}};
    if (finding.hit) {
      item.update(hit_json(*finding.hit));
    } else {
      item["keyword"] = nullptr;
    }
    if (finding.suppressed) item["suppressed"] = true;
    findings.push_back(std::move(item));
  }
  out["findings"] = std::move(findings);
  if (run.baseline) out["baseline"] = {{"known", known_count}};
  ordered_json skipped = ordered_json::array();
  for (const SkippedInput& s : f.outcome.skipped) {
    ordered_json item;
    put_name(item, "file", s.file);
    item["reason"] = skipped_reason(s.why);
    skipped.push_back(std::move(item));
  }
  out["skipped"] = std::move(skipped);
  return out.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

// --- GNU ------------------------------------------------------------------------------

// GCC's colours (its GCC_COLORS defaults): the place bold, "note:" and the rule's id bold cyan.
struct Colors {
  std::string_view locus, note, end;
};
constexpr Colors kGccColors{"\33[01m\33[K", "\33[01;36m\33[K", "\33[m\33[K"};
constexpr Colors kNoColors{"", "", ""};

std::string gnu_text(const Findings& f, const FindingsRunInfo& run) {
  const Colors& c = run.color ? kGccColors : kNoColors;
  std::string text;
  for (std::size_t i = 0; i < f.findings.size(); ++i) {
    const Finding& finding = f.findings[i];
    if (finding.suppressed || known(run, i)) continue;
    // The place heads the line where editors can read the name; otherwise the program does,
    // and the place goes into the message, where no editor takes it for one.
    std::string head = "orven-cli:";
    std::string place;
    if (finding.hit) {
      const SourcePlace& at = finding.hit->first;
      const std::string name = path_text(at.file);
      // The column as the GNU Coding Standards count it; a scan that leaves it unset has
      // only the character count.
      const std::string line = std::to_string(at.line);
      const std::string column =
          std::to_string(at.display_column != 0 ? at.display_column : at.column);
      if (plain_name(name)) {
        head = name + ":" + line + ":" + column + ":";
      } else {
        place = escaped_name(name) + to_utf8(msg::kGnuPlace.line) + line +
                to_utf8(msg::kGnuPlace.column) + column + to_utf8(msg::kGnuPlace.end);
      }
    }
    text += std::string(c.locus) + head + std::string(c.end) + " " + std::string(c.note) +
            "note: " + std::string(c.end) + place + joined_lines(finding.rule->advice) + " [" +
            std::string(c.note) + finding.id + std::string(c.end) + "]\n";
  }
  return text;
}

// --- SARIF ----------------------------------------------------------------------------

std::string file_uri(const std::filesystem::path& absolute) {
  const std::string text = path_text(absolute);
  // A Windows drive keeps its colon: file:///C:/x.
  if (text.size() >= 2 && text[1] == ':')
    return "file:///" + text.substr(0, 2) + uri_path(text.substr(2));
  return "file://" + uri_path(text);
}

// An artifact: relative to the current folder under %SRCROOT% when it lies below it, which
// is what code scanning matches against the repository; otherwise its absolute URI.
ordered_json artifact_location(const std::filesystem::path& file, const FindingsRunInfo& run) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(file, error).lexically_normal();
  const std::filesystem::path relative = full.lexically_relative(run.current_folder);
  if (!relative.empty() && *relative.begin() != "..") {
    return {{"uri", uri_path(path_text(relative))}, {"uriBaseId", kSourceRoot}};
  }
  return {{"uri", file_uri(full)}};
}

// The advice as one sentence: a closing colon (it led to the example) becomes a period.
std::string advice_sentence(const texts::Rule& rule) {
  std::string advice = joined_lines(rule.advice);
  if (advice.ends_with(':')) advice.pop_back();
  if (!advice.ends_with('.') && !advice.ends_with('!') && !advice.ends_with('?')) advice += '.';
  return advice;
}

// A rule's message with `keyword` in place of its argument; "{0}" gives its message string.
std::string rule_message(const texts::Rule& rule, std::string_view keyword) {
  const msg::AroundName& around =
      rule.keywords[0].empty() ? msg::kSarifSectionOpened : msg::kSarifFound;
  return to_utf8(around.before) + std::string(keyword) + to_utf8(around.after) +
         advice_sentence(rule) + to_utf8(msg::kSarifSeeHelp);
}

ordered_json rule_json(const RuleRef& ref) {
  const texts::Rule& rule = *ref.rule;
  const std::string advice = joined_lines(rule.advice);
  std::string help = advice + "\n\n";
  for (const std::string& line : markup_lines(rule.example)) help += line + "\n";
  ordered_json keywords = ordered_json::array();
  for (const std::string_view k : rule.keywords) {
    if (!k.empty()) keywords.push_back(to_utf8(k));
  }
  return {{"id", rule_id(ref.section, ref.index)},
          {"name", rule_name(ref)},
          {"shortDescription", {{"text", rule_summary(rule)}}},
          {"fullDescription", {{"text", advice}}},
          {"messageStrings", {{kMessageId, {{"text", rule_message(rule, "{0}")}}}}},
          {"help", {{"text", help}, {"markdown", rule_markdown(ref)}}},
          {"defaultConfiguration", {{"level", "note"}}},
          {"properties", {{"section", section_name(ref.section)}, {"keywords", keywords}}}};
}

ordered_json region_json(const KeywordHit& hit) {
  ordered_json region = {{"startLine", hit.first.line}, {"startColumn", hit.first.column}};
  if (hit.last.file == hit.first.file) {
    region["endLine"] = hit.last.line;
    region["endColumn"] = hit.last.column + 1;  // SARIF's end column is the one after
  }
  return region;
}

ordered_json result_head(const RuleRef& rule, std::string_view keyword_cp1251) {
  const std::string keyword = to_utf8(keyword_cp1251);
  return {{"ruleId", rule_id(rule.section, rule.index)},
          {"ruleIndex", rule.number},
          {"level", "note"},
          {"message",
           {{"id", kMessageId},
            {"arguments", ordered_json::array({keyword})},
            {"text", rule_message(*rule.rule, keyword)}}}};
}

// The region's text when the scan's place tells it: the keyword, when the region is exactly
// as long as the keyword without blanks (so nothing lay between its characters).
std::optional<std::string> snippet(const KeywordHit& hit) {
  std::string keyword;
  for (const char c : hit.keyword) {
    if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;  // columns would differ
    if (c != ' ') keyword += c;
  }
  if (hit.first.file != hit.last.file || hit.first.line != hit.last.line ||
      hit.last.column + 1 != hit.first.column + keyword.size()) {
    return std::nullopt;
  }
  return keyword;
}

ordered_json absent_json(const AbsentFinding& absent, const FindingsRunInfo& run) {
  const texts::Rule& rule = *absent.rule->rule;
  const std::string_view keyword = !rule.keywords[0].empty()              ? rule.keywords[0]
                                   : absent.rule->section == Section::web ? texts::kWebGate[0]
                                                                          : texts::kCppGate[0];
  ordered_json result = result_head(*absent.rule, keyword);
  if (!absent.file.empty()) {
    ordered_json location = {{"artifactLocation", artifact_location(absent.file, run)}};
    if (absent.line > 0) {
      location["region"] = {{"startLine", absent.line}};
      if (absent.column > 0) location["region"]["startColumn"] = absent.column;
    }
    result["locations"] = ordered_json::array({{{"physicalLocation", std::move(location)}}});
  }
  result["baselineState"] = "absent";
  return result;
}

std::string sarif_text(const Findings& f, const FindingsRunInfo& run) {
  ordered_json rules = ordered_json::array();
  for (const RuleRef& rule : all_rules()) rules.push_back(rule_json(rule));

  ordered_json results = ordered_json::array();
  for (std::size_t i = 0; i < f.findings.size(); ++i) {
    const Finding& finding = f.findings[i];
    // A rule without keywords fires because its section runs: it points where the keyword
    // that opened the section first occurs.
    const std::optional<KeywordHit>& gate =
        finding.section == Section::web ? f.web_gate : f.cpp_gate;
    const KeywordHit* place = finding.hit ? &*finding.hit : gate ? &*gate : nullptr;
    ordered_json result = result_head(all_rules()[*rule_number(finding.id)],
                                      place ? place->keyword : std::string_view());
    if (place) {
      const KeywordHit& hit = *place;
      ordered_json region = region_json(hit);
      if (const std::optional<std::string> text = snippet(hit))
        region["snippet"] = {{"text", *text}};
      result["locations"] =
          ordered_json::array({{{"physicalLocation",
                                 {{"artifactLocation", artifact_location(hit.first.file, run)},
                                  {"region", std::move(region)}}}}});
      ordered_json properties = {{"keyword", to_utf8(hit.keyword)}, {"count", hit.count}};
      if (!finding.hit) properties["placeOf"] = "gate";
      if (hit.last.file != hit.first.file) {
        properties["endsIn"] = {{"artifactLocation", artifact_location(hit.last.file, run)},
                                {"line", hit.last.line},
                                {"column", hit.last.column}};
      }
      result["properties"] = std::move(properties);
    }
    if (finding.suppressed) {
      result["suppressions"] = ordered_json::array({{{"kind", "inSource"}}});
    }
    if (run.baseline) result["baselineState"] = known(run, i) ? "unchanged" : "new";
    results.push_back(std::move(result));
  }
  for (const AbsentFinding& absent : run.absent) results.push_back(absent_json(absent, run));

  ordered_json notifications = ordered_json::array();
  for (const SkippedInput& s : f.outcome.skipped) {
    notifications.push_back(
        {{"level", "warning"},
         {"message", {{"text", skipped_note(s)}}},
         {"locations",
          ordered_json::array(
              {{{"physicalLocation", {{"artifactLocation", artifact_location(s.file, run)}}}}})}});
  }
  // The run is written only when it succeeded; a nonzero code is --error-exitcode's verdict
  // on the findings.
  ordered_json invocation = {
      {"executionSuccessful", true}, {"exitCode", run.exit_code}, {"arguments", run.arguments}};
  if (!notifications.empty()) invocation["toolExecutionNotifications"] = notifications;

  std::string root = file_uri(run.current_folder);
  if (!root.ends_with("/")) root += "/";
  ordered_json log = {
      {"$schema", kSarifSchema},
      {"version", "2.1.0"},
      {"runs", ordered_json::array({{{"tool",
                                      {{"driver",
                                        {{"name", "orven-cli"},
                                         {"fullName", to_utf8(texts::kProductName)},
                                         {"version", to_utf8(texts::kVersion)},
                                         {"semanticVersion", to_utf8(texts::kVersion)},
                                         {"informationUri", to_utf8(texts::kSiteAddress)},
                                         {"rules", std::move(rules)}}}}},
                                     {"invocations", ordered_json::array({std::move(invocation)})},
                                     {"originalUriBaseIds", {{kSourceRoot, {{"uri", root}}}}},
                                     {"columnKind", "utf16CodeUnits"},
                                     {"results", std::move(results)}}})}};
  return log.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

// --- Rules ----------------------------------------------------------------------------

bool ascii_upper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool ascii_lower(char c) {
  return c >= 'a' && c <= 'z';
}
char to_upper(char c) {
  return ascii_lower(c) ? static_cast<char>(c - 'a' + 'A') : c;
}
char to_lower(char c) {
  return ascii_upper(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

// The words of a keyword in Pascal case: each run of letters and digits begun with a capital,
// and never two capitals in a row (WS_OVERLAPPEDWINDOW: WsOverlappedwindow, wParam: Wparam).
std::string pascal_words(std::string_view keyword) {
  std::string name;
  bool word_start = true;
  char before = '\0';
  for (const char c : keyword) {
    const char previous = std::exchange(before, c);
    if (!ascii_upper(c) && !ascii_lower(c) && !(c >= '0' && c <= '9')) {
      word_start = true;
      continue;
    }
    if (word_start) {
      name += to_upper(c);
    } else {
      name += ascii_upper(previous) || ascii_upper(name.back()) ? to_lower(c) : c;
    }
    word_start = false;
  }
  return name;
}

// Markdown's own characters in a line of prose, escaped so that the text shows as it is.
std::string markdown_escaped(std::string_view line) {
  std::string out;
  // A line that would open a list, a heading, a quote or an underline keeps it from doing so.
  const std::size_t digits = line.find_first_not_of("0123456789");
  const bool numbered = digits != 0 && digits != std::string_view::npos &&
                        (line[digits] == '.' || line[digits] == ')');
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const bool at_start = i == 0 && std::string_view("-+=").find(c) != std::string_view::npos;
    if (at_start || (numbered && i == digits) ||
        std::string_view("\\`*_[]<>&|~#!").find(c) != std::string_view::npos) {
      out += '\\';
    }
    out += c;
  }
  return out;
}

bool sentence_start(std::string_view rest) {
  if (rest.empty()) return false;
  if (ascii_upper(rest[0])) return true;
  // А…Я and Ё in UTF-8.
  const auto b0 = static_cast<unsigned char>(rest[0]);
  const auto b1 = rest.size() > 1 ? static_cast<unsigned char>(rest[1]) : 0;
  return b0 == 0xD0 && ((b1 >= 0x90 && b1 <= 0xAF) || b1 == 0x81);
}

}  // namespace

const RuleRef* find_rule(std::string_view id) {
  if (id.empty()) return nullptr;
  const std::string wanted = to_upper(id[0]) + std::string(id.substr(1));
  const std::optional<std::size_t> number = rule_number(wanted);
  return number ? &all_rules()[*number] : nullptr;
}

std::string rule_name(const RuleRef& rule) {
  const std::string words = pascal_words(rule.rule->keywords[0]);
  return (rule.section == Section::web ? "Web" : "Cpp") +
         (rule.rule->keywords[0].empty() ? std::string("General")
          : words.empty()                ? std::string("Rule")
                                         : words) +
         rule_id(rule.section, rule.index).substr(1);
}

std::string rule_summary(const texts::Rule& rule) {
  const std::string advice = joined_lines(rule.advice);
  for (std::size_t dot = advice.find(". "); dot != std::string::npos;
       dot = advice.find(". ", dot + 1)) {
    if (sentence_start(std::string_view(advice).substr(dot + 2))) return advice.substr(0, dot + 1);
  }
  return advice;
}

std::string rule_markdown(const RuleRef& ref) {
  const texts::Rule& rule = *ref.rule;
  std::string text;
  for (std::string line : markup_lines(rule.advice)) {
    line.erase(0, line.find_first_not_of(' '));
    line.erase(line.find_last_not_of(' ') + 1);
    if (line.empty()) continue;
    if (!text.empty()) text += "\\\n";  // a hard line break
    text += markdown_escaped(line);
  }
  const std::vector<std::string> example = markup_lines(rule.example);
  // The fence is longer than any run of backticks in the example.
  std::size_t longest = 0;
  for (const std::string& line : example) {
    std::size_t run = 0;
    for (const char c : line) {
      run = c == '`' ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  const std::string fence(std::max<std::size_t>(3, longest + 1), '`');
  text += "\n\n" + fence + (ref.section == Section::cpp ? "cpp" : "") + "\n";
  for (const std::string& line : example) text += line + "\n";
  return text + fence + "\n";
}

std::string rule_list_text(const RuleSet& selected, bool json) {
  ordered_json rules = ordered_json::array();
  std::string text;
  for (const RuleRef& rule : all_rules()) {
    if (!selected.test(rule.number)) continue;
    std::vector<std::string> keywords;
    for (const std::string_view k : rule.rule->keywords) {
      if (!k.empty()) keywords.push_back(to_utf8(k));
    }
    const std::string id = rule_id(rule.section, rule.index);
    if (json) {
      rules.push_back({{"id", id},
                       {"name", rule_name(rule)},
                       {"section", section_name(rule.section)},
                       {"keywords", keywords},
                       {"summary", rule_summary(*rule.rule)}});
      continue;
    }
    std::string listed;
    for (const std::string& k : keywords) listed += (listed.empty() ? "" : ", ") + k;
    text += id + "\t" + section_name(rule.section) + "\t" +
            (listed.empty() ? to_utf8(msg::kRulesNoKeywords) : listed) + "\t" +
            rule_summary(*rule.rule) + "\n";
  }
  if (!json) return text;
  const ordered_json out = {
      {"format", "orven-rules"},
      {"version", kFindingsJsonVersion},
      {"tool", {{"name", "orven-cli"}, {"version", to_utf8(texts::kVersion)}}},
      {"rules", std::move(rules)}};
  return out.dump(2) + "\n";
}

std::string rule_explanation(const RuleRef& rule) {
  std::string text = rule_id(rule.section, rule.index) + " — " +
                     to_utf8(rule.section == Section::web ? msg::kExplainWeb : msg::kExplainCpp) +
                     ", " + rule_name(rule) + "\n";
  std::string keywords;
  for (const std::string_view k : rule.rule->keywords) {
    if (!k.empty()) keywords += (keywords.empty() ? "" : ", ") + to_utf8(k);
  }
  text += keywords.empty() ? to_utf8(msg::kExplainNoKeywords)
                           : to_utf8(msg::kExplainKeywords) + keywords;
  text += "\n\n";
  for (std::string line : markup_lines(rule.rule->advice)) {
    line.erase(0, line.find_first_not_of(' '));
    line.erase(line.find_last_not_of(' ') + 1);
    if (!line.empty()) text += line + "\n";
  }
  text += "\n" + to_utf8(msg::kExplainExample) + "\n";
  for (const std::string& line : markup_lines(rule.rule->example)) {
    text += line.empty() ? "\n" : "    " + line + "\n";
  }
  return text;
}

std::string escaped_name(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  const auto escape = [&](unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  };
  while (!bytes.empty()) {
    const std::size_t n = utf8_length(bytes);
    const auto first = static_cast<unsigned char>(bytes[0]);
    const bool c1 = n == 2 && first == 0xC2 && static_cast<unsigned char>(bytes[1]) < 0xA0;
    if (n == 0 || c1 ||
        (n == 1 && (first < 0x20 || first == 0x7F || first == ':' || first == '"'))) {
      for (std::size_t i = 0; i < std::max<std::size_t>(n, 1); ++i) {
        escape(static_cast<unsigned char>(bytes[i]));
      }
      bytes.remove_prefix(std::max<std::size_t>(n, 1));
      continue;
    }
    if (first == '\\') out += '\\';
    out += bytes.substr(0, n);
    bytes.remove_prefix(n);
  }
  return out;
}

bool plain_name(std::string_view bytes) {
  if (bytes.empty() || bytes.front() == ' ' || bytes.front() == '~' || bytes.back() == ' ' ||
      bytes.find('$') != std::string_view::npos ||
      bytes.find_first_not_of("0123456789") == std::string_view::npos) {
    return false;
  }
  // A Windows drive, "C:/", is read as part of the name by both editors.
  const bool drive = bytes.size() >= 3 && (ascii_upper(bytes[0]) || ascii_lower(bytes[0])) &&
                     bytes[1] == ':' && bytes[2] == '/';
  const std::string_view rest = drive ? bytes.substr(2) : bytes;
  return escaped_name(rest) == rest;
}

std::vector<std::string> markup_lines(std::string_view cp1251) {
  static constexpr std::pair<std::string_view, std::string_view> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < cp1251.size();) {
    const std::string_view rest = cp1251.substr(i);
    if (rest.starts_with("<br/>") || rest.starts_with("<br />") || rest.starts_with("<br>")) {
      lines.emplace_back();
      i += rest.find('>') + 1;
      continue;
    }
    bool entity = false;
    for (const auto& [name, character] : kEntities) {
      if (rest.starts_with(name)) {
        lines.back() += character;
        i += name.size();
        entity = true;
        break;
      }
    }
    if (entity) continue;
    lines.back() += to_utf8(cp1251.substr(i, 1));
    ++i;
  }
  return lines;
}

std::string findings_text(FindingsFormat format, const Findings& findings,
                          const FindingsRunInfo& run) {
  switch (format) {
    case FindingsFormat::sarif:
      return sarif_text(findings, run);
    case FindingsFormat::json:
      return json_text(findings, run);
    case FindingsFormat::gnu:
      break;
  }
  return gnu_text(findings, run);
}

}  // namespace orven::app
