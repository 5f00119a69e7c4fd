#include "advisor/input_walk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "texts/product.h"
#include "texts/report.h"

namespace orven {

namespace fs = std::filesystem;
using Kind = platform::WalkFolder::Kind;

namespace {

constexpr char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ends_like(std::string_view name, std::string_view ending) {
  if (name.size() <= ending.size()) return false;  // ".php" alone is a hidden name, not a source
  name.remove_prefix(name.size() - ending.size());
  return std::equal(name.begin(), name.end(), ending.begin(),
                    [](char a, char b) { return lower(a) == lower(b); });
}

bool same_letters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

// The byte order of the whole paths: a folder's name sorts as if "/" followed it.
bool before(std::string_view a, bool a_folder, std::string_view b, bool b_folder) {
  const std::size_t common = std::min(a.size(), b.size());
  const int order = std::memcmp(a.data(), b.data(), common);
  if (order != 0) return order < 0;
  if (a.size() == b.size()) return !a_folder && b_folder;
  // One is a prefix of the other: the shorter goes on with "/" or ends.
  if (a.size() < b.size()) {
    return !a_folder || static_cast<unsigned char>('/') < static_cast<unsigned char>(b[common]);
  }
  return b_folder && static_cast<unsigned char>(a[common]) < static_cast<unsigned char>('/');
}

constexpr char kSeparator = static_cast<char>(fs::path::preferred_separator);

// The whole of a small text file (an ignore file, a git config), or nothing.
template <class... Where>
std::string read_text(const Where&... where) {
  platform::InputFile in(where...);
  std::string text;
  if (in.status() != platform::InputFile::Status::open) return text;
  char buffer[4096];
  while (const std::size_t got = in.read(buffer, sizeof buffer)) text.append(buffer, got);
  return text;
}

std::string utf8_of(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

fs::path home_folder() {
  for (const char* name : {"HOME", "USERPROFILE"}) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
  }
  return {};
}

// core.excludesFile of a git config file, "~/" taken as the home folder; empty when unset.
fs::path excludes_file_in(const fs::path& config) {
  const std::string text = read_text(config);
  bool in_core = false;
  fs::path found;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    const auto trim = [](std::string_view s) {
      while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
      while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
      }
      return s;
    };
    line = trim(line);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      in_core = same_letters(line.substr(0, line.find(']') + 1), "[core]");
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!in_core || equals == std::string_view::npos ||
        !same_letters(trim(line.substr(0, equals)), "excludesfile")) {
      continue;
    }
    std::string_view value = trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.substr(0, 2) == "~/") {
      found = home_folder() / fs::path(std::u8string(value.begin() + 2, value.end()));
    } else {
      found = fs::path(std::u8string(value.begin(), value.end()));
    }
  }
  return found;
}

}  // namespace

bool takes_name(std::string_view name) {
  return std::any_of(kSourceEndings.begin(), kSourceEndings.end(),
                     [&](std::string_view ending) { return ends_like(name, ending); });
}

bool is_own_output(platform::InputFile& file) {
  static constexpr std::size_t kHead = [] {
    std::size_t size = 0;
    for (const std::string_view piece : texts::kHeadTemplate) size += piece.size();
    return size;
  }();
  // A file too short to hold the head costs no read.
  if (file.size() < kHead) return false;
  char start[kHead];
  if (file.read_start(start, kHead) != kHead) return false;
  std::string_view rest(start, kHead);
  for (const std::string_view piece : texts::kHeadTemplate) {
    if (!rest.starts_with(piece)) return false;
    rest.remove_prefix(piece.size());
  }
  return true;
}

const char* InputWalk::Names::keep(std::string_view name) {
  if (name.size() > left_) {
    const std::size_t size = std::max(next_size_, name.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    at_ = blocks_.back().get();
    left_ = size;
    next_size_ = std::min<std::size_t>(next_size_ * 2, 64 << 10);
  }
  char* kept = at_;
  std::memcpy(kept, name.data(), name.size());
  at_ += name.size();
  left_ -= name.size();
  return kept;
}

InputWalk::InputWalk(std::span<const fs::path> paths, WalkOptions options)
    : paths_(paths), options_(std::move(options)) {
  // Relative to the current folder, which the run writes into: no need to know its path.
  for (const std::string_view output : {texts::kReportFile, texts::kReadmeFile, texts::kLogFile}) {
    platform::FileId id;
    if (platform::file_id(fs::path(output), id)) outputs_.push_back(id);
  }
}

InputWalk::~InputWalk() = default;

bool InputWalk::is_output(const platform::WalkFolder::Entry& entry) const {
  if (outputs_.empty()) return false;
  if (entry.id_known) {
    return std::find(outputs_.begin(), outputs_.end(), entry.id) != outputs_.end();
  }
  // Where the listing gives no identity (Windows), only a name like an output's, in any
  // letter case, is looked at.
  for (const std::string_view output : {texts::kReportFile, texts::kReadmeFile, texts::kLogFile}) {
    platform::FileId id;
    if (same_letters(entry.name, output) && folder_.entry_id(entry.name, id) &&
        std::find(outputs_.begin(), outputs_.end(), id) != outputs_.end()) {
      return true;
    }
  }
  return false;
}

void InputWalk::start_rules(const fs::path& folder) {
  excludes_.clear();
  above_.clear();
  global_.clear();
  in_git_ = false;
  relative_.clear();
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error).lexically_normal();
  if (options_.ignore_files && !error) {
    // The work tree is the nearest folder up from the one given that holds ".git".
    fs::path root = absolute;
    for (;;) {
      if (fs::exists(fs::symlink_status(root / ".git", error))) {
        in_git_ = true;
        break;
      }
      if (!root.has_relative_path() || root.parent_path() == root) break;
      root = root.parent_path();
    }
    if (in_git_) {
      const fs::path below = absolute.lexically_relative(root);
      if (!below.empty() && below != ".") {
        // Every folder from the root down to the one given, the nearest last; then turned.
        fs::path at = root;
        std::string base;
        std::vector<IgnoreRules> outer;
        for (auto name = below.begin();; ++name) {
          for (const char* file : {".gitignore", ".ignore"}) {
            IgnoreRules rules(base);
            rules.add_lines(read_text(at / file));
            if (!rules.empty()) outer.push_back(std::move(rules));
          }
          if (name == below.end()) break;
          if (std::next(name) == below.end()) break;  // the folder given: the walk reads its own
          at /= *name;
          base += utf8_of(*name) + "/";
        }
        above_.assign(outer.rbegin(), outer.rend());
        relative_ = utf8_of(below) + "/";
      }
      IgnoreRules exclude;
      exclude.add_lines(read_text(root / ".git" / "info" / "exclude"));
      if (!exclude.empty()) global_.push_back(std::move(exclude));
      // The user's excludes file: the repository's setting first, then the user's own.
      fs::path file = excludes_file_in(root / ".git" / "config");
      const fs::path home = home_folder();
      const char* xdg = std::getenv("XDG_CONFIG_HOME");
      const fs::path config_home =
          xdg != nullptr && *xdg != '\0' ? fs::path(xdg) : home / ".config";
      if (file.empty() && !home.empty()) file = excludes_file_in(home / ".gitconfig");
      if (file.empty()) file = excludes_file_in(config_home / "git" / "config");
      if (file.empty()) file = config_home / "git" / "ignore";
      IgnoreRules user;
      user.add_lines(read_text(file));
      if (!user.empty()) global_.push_back(std::move(user));
    }
  }
  if (!options_.excludes.empty()) {
    IgnoreRules excludes(relative_);
    for (const std::string& pattern : options_.excludes) excludes.add_line(pattern);
    excludes_.push_back(std::move(excludes));
  }
}

bool InputWalk::ignored(std::string_view name, bool folder) const {
  if (excludes_.empty() && !options_.ignore_files) return false;
  std::string path = relative_;
  path.append(name);
  using Verdict = IgnoreRules::Verdict;
  const auto verdict = [&](const IgnoreRules& rules) { return rules.test(path, folder); };
  for (const IgnoreRules& rules : excludes_) {
    if (const Verdict v = verdict(rules); v != Verdict::none) return v == Verdict::ignored;
  }
  for (auto level = levels_.rbegin(); level != levels_.rend(); ++level) {
    for (const IgnoreRules& rules : (*level)->rules) {
      if (const Verdict v = verdict(rules); v != Verdict::none) return v == Verdict::ignored;
    }
  }
  for (const std::vector<IgnoreRules>* set : {&above_, &global_}) {
    for (const IgnoreRules& rules : *set) {
      if (const Verdict v = verdict(rules); v != Verdict::none) return v == Verdict::ignored;
    }
  }
  return false;
}

void InputWalk::add(void* walk, const platform::WalkFolder::Entry& entry) {
  InputWalk& self = *static_cast<InputWalk*>(walk);
  if (entry.name.empty() || entry.name.front() == '.') return;
  switch (entry.kind) {
    case Kind::hidden:
    case Kind::link_to_folder:
      return;
    case Kind::folder:
      if (self.ignored(entry.name, true)) return;
      break;
    case Kind::bad_name:
      break;
    case Kind::file:
      if (!takes_name(entry.name) || self.is_output(entry) || self.ignored(entry.name, false)) {
        return;
      }
      break;
    case Kind::not_regular:
    case Kind::unreadable:
      if (!takes_name(entry.name) || self.ignored(entry.name, false)) return;
      break;
  }
  Level& level = *self.levels_.back();
  level.entries.push_back({level.names.keep(entry.name),
                           static_cast<std::uint32_t>(entry.name.size()), entry.kind,
                           entry.follow});
}

bool InputWalk::list() {
  levels_.push_back(std::make_unique<Level>());
  Level& level = *levels_.back();
  level.path_size = path_.size();
  level.relative_size = relative_.size();
  if (options_.ignore_files) {
    for (const char* file : {".gitignore", ".ignore"}) {
      if (file[1] == 'g' && !in_git_) continue;
      IgnoreRules rules(relative_);
      rules.add_lines(read_text(folder_, std::string_view(file), false));
      if (!rules.empty()) level.rules.push_back(std::move(rules));
    }
    // The .ignore file wins: it is looked at first.
    std::reverse(level.rules.begin(), level.rules.end());
  }
  if (!folder_.list(&InputWalk::add, this)) {
    levels_.pop_back();
    return false;
  }
  std::vector<Entry>& entries = levels_.back()->entries;
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return before({a.name, a.size}, a.kind == Kind::folder, {b.name, b.size},
                  b.kind == Kind::folder);
  });
  return true;
}

void InputWalk::append_name(std::string_view name) {
  if (!path_.empty() && path_.back() != kSeparator && path_.back() != '/') path_ += kSeparator;
  path_.append(name);
}

std::optional<WalkItem> InputWalk::next() {
  using What = WalkItem::What;
  for (;;) {
    if (levels_.empty()) {
      if (next_path_ == paths_.size()) return std::nullopt;
      const fs::path& path = paths_[next_path_++];
      std::error_code ignored;  // what cannot be looked at is opened as a file, and fails there
      if (!fs::is_directory(path, ignored)) return WalkItem{path, true, What::file};
      if (folder_.open(path) != platform::WalkFolder::Opened::ok) {
        return WalkItem{path, true, What::folder};
      }
      path_ = platform::walk_name_of(path);
      start_rules(path);
      if (!list()) return WalkItem{path, true, What::folder};
      continue;
    }
    Level& level = *levels_.back();
    if (level.next == level.entries.size()) {
      path_.resize(level.path_size);
      levels_.pop_back();
      if (!levels_.empty() && !folder_.leave()) {
        // The folder above was moved away meanwhile: nothing below the given one can be
        // reached any more from here.
        levels_.clear();
        return WalkItem{platform::path_from_walk(path_), false, What::folder};
      }
      continue;
    }
    const Entry& entry = level.entries[level.next++];
    const std::string_view name(entry.name, entry.size);
    path_.resize(level.path_size);
    append_name(name);
    relative_.resize(level.relative_size);
    switch (entry.kind) {
      case Kind::folder:
        relative_.append(name).push_back('/');
        switch (folder_.enter(name)) {
          case platform::WalkFolder::Opened::ok:
            if (list()) continue;
            if (!folder_.leave()) levels_.clear();
            break;
          case platform::WalkFolder::Opened::link:  // swapped for a link meanwhile: never entered
          case platform::WalkFolder::Opened::not_folder:
            continue;
          case platform::WalkFolder::Opened::unreadable:
            break;
        }
        return WalkItem{platform::path_from_walk(path_), false, What::folder};
      case Kind::file:
        last_.assign(name);
        last_follow_ = entry.follow;
        return WalkItem{platform::path_from_walk(path_), false, What::file};
      case Kind::not_regular:
        return WalkItem{platform::path_from_walk(path_), false, What::not_regular};
      case Kind::bad_name:
        return WalkItem{platform::path_from_walk(path_), false, What::bad_name};
      default:
        return WalkItem{platform::path_from_walk(path_), false, What::unreadable};
    }
  }
}

std::unique_ptr<platform::InputFile> InputWalk::open_last() const {
  return std::make_unique<platform::InputFile>(folder_, last_, last_follow_);
}

}  // namespace orven
