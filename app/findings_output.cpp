// The machine-readable findings. JSON and SARIF are built as nlohmann::json values and
// dumped by the library; nothing here writes JSON by hand.
#include "app/findings_output.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/display_text.h"
#include "app/run_sequence.h"
#include "texts/cpp_rules.h"
#include "texts/product.h"
#include "texts/web_rules.h"

namespace orven::app {

namespace {

using nlohmann::ordered_json;

constexpr std::string_view kSarifSchema = "https://json.schemastore.org/sarif-2.1.0.json";
constexpr std::string_view kSourceRoot = "%SRCROOT%";

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

// A path as the walk gave it, with forward slashes.
std::string path_text(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return {text.begin(), text.end()};
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

// --- JSON -----------------------------------------------------------------------------

ordered_json hit_json(const KeywordHit& hit) {
  return {{"keyword", to_utf8(hit.keyword)},
          {"file", path_text(hit.first.file)},
          {"line", hit.first.line},
          {"column", hit.first.column},
          {"endFile", path_text(hit.last.file)},
          {"endLine", hit.last.line},
          {"endColumn", hit.last.column},
          {"count", hit.count}};
}

std::string json_text(const Findings& f) {
  ordered_json out;
  out["format"] = "orven-findings";
  out["version"] = kFindingsJsonVersion;
  out["tool"] = {{"name", "orven-cli"}, {"version", to_utf8(texts::kVersion)}};
  out["gates"] = {{"web", f.web_gate ? hit_json(*f.web_gate) : ordered_json(nullptr)},
                  {"cpp", f.cpp_gate ? hit_json(*f.cpp_gate) : ordered_json(nullptr)}};
  ordered_json findings = ordered_json::array();
  for (const Finding& finding : f.findings) {
    ordered_json item = {{"id", finding.id},
                         {"section", section_name(finding.section)},
                         {"advice", joined_lines(finding.rule->advice)}};
    if (finding.hit) {
      item.update(hit_json(*finding.hit));
    } else {
      item["keyword"] = nullptr;
    }
    findings.push_back(std::move(item));
  }
  out["findings"] = std::move(findings);
  ordered_json skipped = ordered_json::array();
  for (const SkippedInput& s : f.outcome.skipped) {
    skipped.push_back({{"file", path_text(s.file)}, {"reason", skipped_reason(s.why)}});
  }
  out["skipped"] = std::move(skipped);
  return out.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

// --- GNU ------------------------------------------------------------------------------

std::string gnu_text(const Findings& f) {
  std::string text;
  for (const Finding& finding : f.findings) {
    const std::string advice = joined_lines(finding.rule->advice);
    if (finding.hit) {
      const SourcePlace& at = finding.hit->first;
      text += escape_controls(path_text(at.file)) + ":" + std::to_string(at.line) + ":" +
              std::to_string(at.column) + ": note: ";
    } else {
      text += "orven-cli: note: ";
    }
    text += advice + " [" + finding.id + "]\n";
  }
  return text;
}

// --- SARIF ----------------------------------------------------------------------------

// RFC 3986: everything but the unreserved characters and the slash is percent-encoded.
std::string uri_path(std::string_view utf8) {
  std::string out;
  for (const char ch : utf8) {
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

std::string pascal_name(std::string_view keyword) {
  std::string name;
  bool upper = true;
  for (const char c : keyword) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit) {
      upper = true;
      continue;
    }
    name += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    upper = false;
  }
  return name;
}

ordered_json rule_json(Section section, std::size_t index, const texts::Rule& rule) {
  const std::string id = rule_id(section, index);
  const std::string_view keyword = rule.keywords[0];
  const std::string name = (section == Section::web ? "Web" : "Cpp") +
                           (keyword.empty() ? std::string("General") : pascal_name(keyword)) +
                           id.substr(1);
  std::string help;
  for (const std::string& line : markup_lines(rule.example)) help += line + "\n";
  const std::string advice = joined_lines(rule.advice);
  ordered_json keywords = ordered_json::array();
  for (const std::string_view k : rule.keywords) {
    if (!k.empty()) keywords.push_back(to_utf8(k));
  }
  return {{"id", id},
          {"name", name},
          {"shortDescription", {{"text", advice}}},
          {"fullDescription", {{"text", advice}}},
          {"help", {{"text", help}}},
          {"defaultConfiguration", {{"level", "note"}}},
          {"properties", {{"section", section_name(section)}, {"keywords", keywords}}}};
}

ordered_json region_json(const KeywordHit& hit) {
  ordered_json region = {{"startLine", hit.first.line}, {"startColumn", hit.first.column}};
  if (hit.last.file == hit.first.file) {
    region["endLine"] = hit.last.line;
    region["endColumn"] = hit.last.column + 1;  // SARIF's end column is the one after
  }
  return region;
}

std::string sarif_text(const Findings& f, const FindingsRunInfo& run) {
  ordered_json rules = ordered_json::array();
  for (std::size_t i = 0; i < texts::kWebRules.size(); ++i) {
    rules.push_back(rule_json(Section::web, i, texts::kWebRules[i]));
  }
  for (std::size_t i = 0; i < texts::kCppRules.size(); ++i) {
    rules.push_back(rule_json(Section::cpp, i, texts::kCppRules[i]));
  }

  ordered_json results = ordered_json::array();
  for (const Finding& finding : f.findings) {
    const std::size_t index = static_cast<std::size_t>(std::stoi(finding.id.substr(1))) - 1 +
                              (finding.section == Section::cpp ? texts::kWebRules.size() : 0);
    ordered_json result = {{"ruleId", finding.id},
                           {"ruleIndex", index},
                           {"level", "note"},
                           {"message", {{"text", joined_lines(finding.rule->advice)}}}};
    // A rule without keywords fires because its section runs: it points where the keyword
    // that opened the section first occurs.
    const std::optional<KeywordHit>& gate =
        finding.section == Section::web ? f.web_gate : f.cpp_gate;
    // Matched in code, a file of the section's languages may have opened it: the rule points
    // at that file's start.
    const std::optional<std::filesystem::path>& file =
        finding.section == Section::web ? f.web_file : f.cpp_file;
    if (!finding.hit && !gate && file) {
      result["locations"] = ordered_json::array(
          {{{"physicalLocation",
             {{"artifactLocation", artifact_location(*file, run)},
              {"region", {{"startLine", 1}, {"startColumn", 1}}}}}}});
      result["properties"] = {{"placeOf", "file"}};
      results.push_back(std::move(result));
      continue;
    }
    if (!finding.hit && !gate) {  // cannot happen: the section ran because its gate held
      results.push_back(std::move(result));
      continue;
    }
    const KeywordHit& hit = finding.hit ? *finding.hit : *gate;
    result["locations"] =
        ordered_json::array({{{"physicalLocation",
                               {{"artifactLocation", artifact_location(hit.first.file, run)},
                                {"region", region_json(hit)}}}}});
    ordered_json properties = {{"keyword", to_utf8(hit.keyword)}, {"count", hit.count}};
    if (!finding.hit) properties["placeOf"] = "gate";
    if (hit.last.file != hit.first.file) {
      properties["endsIn"] = {{"artifactLocation", artifact_location(hit.last.file, run)},
                              {"line", hit.last.line},
                              {"column", hit.last.column}};
    }
    result["properties"] = std::move(properties);
    results.push_back(std::move(result));
  }

  ordered_json notifications = ordered_json::array();
  for (const SkippedInput& s : f.outcome.skipped) {
    notifications.push_back(
        {{"level", "warning"},
         {"message", {{"text", skipped_note(s)}}},
         {"locations",
          ordered_json::array(
              {{{"physicalLocation", {{"artifactLocation", artifact_location(s.file, run)}}}}})}});
  }
  ordered_json invocation = {{"executionSuccessful", run.exit_code == 0},
                             {"exitCode", run.exit_code},
                             {"arguments", run.arguments}};
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

}  // namespace

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
      return json_text(findings);
    case FindingsFormat::gnu:
      break;
  }
  return gnu_text(findings);
}

}  // namespace orven::app
