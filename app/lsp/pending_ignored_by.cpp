// STAND-IN for ignored_by (see pending_ignored_by.h): the .ignore and .gitignore files from
// the file's git work tree's root (or, outside git, its own folder) down to its folder, the
// deepest first, .ignore before .gitignore; a folder on the way that they leave out leaves
// the file out. Only which file said so is told. Deleted when the walk's own lands.
#include "app/lsp/pending_ignored_by.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "advisor/ignore_rules.h"

namespace orven {

namespace {

std::string generic_utf8(const std::filesystem::path& p) {
  const std::u8string s = p.generic_u8string();
  return {s.begin(), s.end()};
}

}  // namespace

std::optional<IgnoredBy> ignored_by(const std::filesystem::path& file, const WalkOptions& options) {
  if (!options.ignore_files) return std::nullopt;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(file, error).lexically_normal();
  if (error) return std::nullopt;
  const std::filesystem::path folder = absolute.parent_path();
  std::filesystem::path root = folder;
  for (std::filesystem::path up = folder;; up = up.parent_path()) {
    if (std::filesystem::exists(up / ".git", error)) {
      root = up;
      break;
    }
    if (up == up.parent_path()) break;
  }
  // The folders from the root down, each with its rule files and their rules.
  struct Level {
    std::filesystem::path folder;
    std::string base;  // relative to the root, "/" after each name
    std::vector<std::pair<std::filesystem::path, IgnoreRules>> files;
  };
  std::vector<Level> levels;
  std::string base;
  std::filesystem::path at = root;
  const std::filesystem::path below = folder.lexically_relative(root);
  std::vector<std::filesystem::path> names{std::filesystem::path()};
  for (const auto& name : below) {
    if (name != ".") names.push_back(name);
  }
  for (const auto& name : names) {
    if (!name.empty()) {
      at /= name;
      base += generic_utf8(name) + "/";
    }
    Level level{at, base, {}};
    for (const char* rule_name : {".ignore", ".gitignore"}) {
      std::ifstream in(at / rule_name, std::ios::binary);
      if (!in) continue;
      IgnoreRules rules(base);
      rules.add_lines(std::string(std::istreambuf_iterator<char>(in), {}));
      level.files.emplace_back(at / rule_name, std::move(rules));
    }
    levels.push_back(std::move(level));
  }
  // Each folder on the way down, then the file: the deepest rules that speak decide.
  const std::string relative = generic_utf8(absolute.lexically_relative(root));
  for (std::size_t slash = relative.find('/');; slash = relative.find('/', slash + 1)) {
    const bool is_folder = slash != std::string::npos;
    const std::string path = relative.substr(0, slash);
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
      if (!path.starts_with(level->base)) continue;
      IgnoreRules::Verdict verdict = IgnoreRules::Verdict::none;
      for (const auto& [rule_file, rules] : level->files) {
        verdict = rules.test(path, is_folder);
        if (verdict == IgnoreRules::Verdict::ignored) return IgnoredBy{rule_file, 0, {}};
        if (verdict == IgnoreRules::Verdict::kept) break;
      }
      if (verdict != IgnoreRules::Verdict::none) break;
    }
    if (!is_folder) return std::nullopt;
  }
}

}  // namespace orven
