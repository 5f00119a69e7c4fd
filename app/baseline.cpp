// Reading a baseline with nlohmann::json (no exceptions on malformed text: a parse that fails
// is a file that is not ours), and matching it by rule and file.
#include "app/baseline.h"

#include <nlohmann/json.hpp>
#include <string_view>

#include "base/platform.h"

namespace orven::app {

namespace {

using nlohmann::json;

bool has_keywords(const texts::Rule& rule) {
  for (const std::string_view keyword : rule.keywords) {
    if (!keyword.empty()) return true;
  }
  return false;
}

std::string percent_decoded(std::string_view text) {
  const auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The key a file is matched by: relative to the current folder when it lies below it,
// absolute otherwise, in normal form with forward slashes.
std::string file_key(const std::filesystem::path& file, const std::filesystem::path& folder) {
  if (file.empty()) return {};
  std::filesystem::path full = (file.is_absolute() ? file : folder / file).lexically_normal();
  const std::filesystem::path relative = full.lexically_relative(folder);
  if (!relative.empty() && *relative.begin() != "..") full = relative;
  const std::u8string text = full.generic_u8string();
  return {text.begin(), text.end()};
}

std::uint64_t number(const json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_number_unsigned() ? it->get<std::uint64_t>() : 0;
}

const std::string* text_of(const json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
}

// --format json: each finding by its id, file (or the bytes of a name that is not UTF-8) and
// place.
bool read_json(const json& doc, Baseline& out) {
  const auto findings = doc.find("findings");
  if (findings == doc.end() || !findings->is_array()) return false;
  for (const json& finding : *findings) {
    if (!finding.is_object()) return false;
    const std::string* id = text_of(finding, "id");
    AbsentFinding entry;
    entry.rule = id ? find_rule(*id) : nullptr;
    if (!entry.rule) return false;
    if (has_keywords(*entry.rule->rule)) {
      const std::string* bytes = text_of(finding, "fileBytes");
      const std::string* name = text_of(finding, "file");
      if (!bytes && !name) return false;
      entry.file = platform::path_from_walk(bytes ? percent_decoded(*bytes) : *name);
      entry.line = number(finding, "line");
      entry.column = number(finding, "column");
    }
    out.findings.push_back(std::move(entry));
  }
  return true;
}

// A SARIF artifact's file: a URI relative to its base (or with none) as a relative path, a
// file URI as its absolute path.
std::filesystem::path sarif_file(const json& artifact) {
  const std::string* uri = text_of(artifact, "uri");
  if (!uri) return {};
  std::string_view text = *uri;
  if (text.starts_with("file://")) {
    text.remove_prefix(7);
    // file:///C:/x names C:/x; file:///x names /x.
    if (text.size() >= 3 && text[0] == '/' && text[2] == ':') text.remove_prefix(1);
  }
  return platform::path_from_walk(percent_decoded(text));
}

// --format sarif: each result of each run but those already absent from an earlier baseline.
bool read_sarif(const json& doc, Baseline& out) {
  const auto runs = doc.find("runs");
  if (runs == doc.end() || !runs->is_array()) return false;
  for (const json& run : *runs) {
    const auto results = run.is_object() ? run.find("results") : run.end();
    if (!run.is_object() || results == run.end() || !results->is_array()) return false;
    for (const json& result : *results) {
      if (!result.is_object()) return false;
      const std::string* state = text_of(result, "baselineState");
      if (state && *state == "absent") continue;
      const std::string* id = text_of(result, "ruleId");
      AbsentFinding entry;
      entry.rule = id ? find_rule(*id) : nullptr;
      if (!entry.rule) return false;
      if (has_keywords(*entry.rule->rule)) {
        const json* physical = nullptr;
        const auto locations = result.find("locations");
        if (locations != result.end() && locations->is_array() && !locations->empty() &&
            (*locations)[0].is_object() && (*locations)[0].contains("physicalLocation")) {
          physical = &(*locations)[0]["physicalLocation"];
        }
        if (!physical || !physical->is_object() || !physical->contains("artifactLocation")) {
          return false;
        }
        entry.file = sarif_file((*physical)["artifactLocation"]);
        if (entry.file.empty()) return false;
        if (physical->contains("region") && (*physical)["region"].is_object()) {
          entry.line = number((*physical)["region"], "startLine");
          entry.column = number((*physical)["region"], "startColumn");
        }
      }
      out.findings.push_back(std::move(entry));
    }
  }
  return true;
}

}  // namespace

BaselineRead read_baseline(const std::filesystem::path& file, Baseline& baseline) {
  platform::InputFile in(file);
  if (in.status() != platform::InputFile::Status::open) {
    return in.status() == platform::InputFile::Status::not_regular ? BaselineRead::not_findings
                                                                   : BaselineRead::unreadable;
  }
  std::string text;
  char buffer[1 << 16];
  for (std::size_t got; (got = in.read(buffer, sizeof buffer)) > 0;) text.append(buffer, got);
  if (in.status() != platform::InputFile::Status::open) return BaselineRead::unreadable;

  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return BaselineRead::not_findings;
  const std::string* format = text_of(doc, "format");
  const std::string* version = text_of(doc, "version");
  bool read = false;
  try {
    if (format && *format == "orven-findings") {
      read = read_json(doc, baseline);
    } else if (version && *version == "2.1.0") {
      read = read_sarif(doc, baseline);
    }
  } catch (const json::exception&) {
    read = false;
  }
  if (!read) baseline.findings.clear();
  return read ? BaselineRead::ok : BaselineRead::not_findings;
}

void compare_with_baseline(const Findings& findings, const Baseline& baseline,
                           const RuleSet& selected, FindingsRunInfo& run) {
  run.baseline = true;
  run.known.assign(findings.findings.size(), false);
  std::vector<std::string> keys;
  for (const AbsentFinding& entry : baseline.findings) {
    keys.push_back(file_key(entry.file, run.current_folder));
  }
  std::vector<bool> matched(baseline.findings.size(), false);
  for (std::size_t i = 0; i < findings.findings.size(); ++i) {
    const Finding& finding = findings.findings[i];
    const RuleRef& rule = all_rules()[*rule_number(finding.id)];
    const std::string key =
        finding.hit ? file_key(finding.hit->first.file, run.current_folder) : std::string();
    for (std::size_t j = 0; j < baseline.findings.size(); ++j) {
      if (baseline.findings[j].rule == &rule && keys[j] == key) {
        run.known[i] = true;
        matched[j] = true;
      }
    }
  }
  for (std::size_t j = 0; j < baseline.findings.size(); ++j) {
    const AbsentFinding& entry = baseline.findings[j];
    if (!matched[j] && selected.test(entry.rule->number)) {
      run.absent.push_back(entry);
    }
  }
}

}  // namespace orven::app
