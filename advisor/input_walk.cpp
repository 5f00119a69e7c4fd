#include "advisor/input_walk.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>

#include "base/platform.h"
#include "texts/product.h"
#include "texts/window.h"

namespace orven {

namespace fs = std::filesystem;

namespace {

// The endings the open dialog's patterns ask for: "*.php" → ".php".
constexpr auto kEndings = [] {
  std::array<std::string_view, texts::window::kFilters.size()> endings{};
  for (std::size_t i = 0; i < endings.size(); ++i) {
    const std::string_view pattern = texts::window::kFilters[i].pattern;
    if (pattern.size() < 2 || pattern[0] != '*' ||
        pattern.find_first_of("*?", 1) != std::string_view::npos) {
      throw "every pattern of the dialog is a star and an ending";  // stops the build
    }
    endings[i] = pattern.substr(1);
  }
  return endings;
}();

constexpr char8_t lower(char8_t c) {
  return c >= u8'A' && c <= u8'Z' ? static_cast<char8_t>(c - u8'A' + u8'a') : c;
}

bool ends_like(std::u8string_view name, std::string_view ending) {
  if (name.size() < ending.size()) return false;
  name.remove_prefix(name.size() - ending.size());
  return std::equal(name.begin(), name.end(), ending.begin(),
                    [](char8_t a, char b) { return lower(a) == lower(static_cast<char8_t>(b)); });
}

std::u8string as_u8(std::string_view ascii) {
  return std::u8string(ascii.begin(), ascii.end());
}

}  // namespace

bool takes_name(const fs::path& name) {
  const std::u8string text = name.u8string();
  return std::any_of(kEndings.begin(), kEndings.end(),
                     [&](std::string_view ending) { return ends_like(text, ending); });
}

InputWalk::InputWalk(std::span<const fs::path> paths) : paths_(paths) {
  std::error_code ignored;  // without a current folder there is no output to leave out
  current_folder_ = fs::current_path(ignored);
}

std::optional<WalkItem> InputWalk::next() {
  for (;;) {
    if (levels_.empty()) {
      if (next_path_ == paths_.size()) return std::nullopt;
      const fs::path& path = paths_[next_path_++];
      std::error_code ignored;  // what cannot be looked at is opened as a file, and fails there
      if (!fs::is_directory(path, ignored)) return WalkItem{path, true, false};
      if (!enter(path)) return WalkItem{path, true, true};
      continue;
    }
    Level& level = levels_.back();
    if (level.next == level.entries.size()) {
      levels_.pop_back();
      continue;
    }
    const Entry& entry = level.entries[level.next++];
    fs::path path = level.folder / entry.name;
    if (!entry.folder) return WalkItem{std::move(path), false, false};
    if (!enter(path)) return WalkItem{std::move(path), false, true};
  }
}

bool InputWalk::enter(const fs::path& folder) {
  static const std::u8string kReport = as_u8(texts::kReportFile);
  static const std::u8string kReadme = as_u8(texts::kReadmeFile);
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return false;
  std::error_code ignored;
  const bool outputs_here =
      !current_folder_.empty() && fs::equivalent(folder, current_folder_, ignored);
  Level level{folder, {}, 0};
  for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
    const fs::directory_entry& entry = *it;
    fs::path name = entry.path().filename();
    std::u8string key = name.u8string();
    if (key.empty() || key.front() == u8'.') continue;
    // Follows a link: one to a folder is passed over, one to a file is that file, and a
    // broken one is opened, fails and is reported.
    const bool is_folder = entry.is_directory(ignored);
    if (is_folder) {
      if (platform::is_link(entry)) continue;
      key += u8'/';
    } else if (!takes_name(name) || (outputs_here && (key == kReport || key == kReadme))) {
      continue;
    }
    level.entries.push_back({std::move(key), std::move(name), is_folder});
  }
  if (error) return false;
  std::sort(level.entries.begin(), level.entries.end(),
            [](const Entry& a, const Entry& b) { return a.key < b.key; });
  levels_.push_back(std::move(level));
  return true;
}

}  // namespace orven
