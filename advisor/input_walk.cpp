#include "advisor/input_walk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "advisor/git_config.h"
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

// What a folder's ".git" is: a repository's own folder, a file that names one (a worktree,
// a submodule), or nothing.
struct GitMark {
  enum Kind { none, folder, file } kind = none;
  std::string text;  // of the file
};

// The repository a folder holding `mark` is the top of, as git finds it: a ".git" file says
// "gitdir: PATH" (relative to the folder), and that folder's "commondir" where the main
// repository's config and info/exclude live.
std::optional<GitRepository> repository_of(const GitMark& mark, const fs::path& folder) {
  GitRepository repository;
  repository.work_tree = folder;
  if (mark.kind == GitMark::folder) {
    repository.git_dir = folder / ".git";
  } else if (mark.kind == GitMark::file) {
    constexpr std::string_view kGitdir = "gitdir: ";
    std::string_view text = mark.text;
    if (!text.starts_with(kGitdir)) return std::nullopt;
    text.remove_prefix(kGitdir.size());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    const fs::path named(std::u8string(text.begin(), text.end()));
    repository.git_dir = named.is_absolute() ? named : folder / named;
  } else {
    return std::nullopt;
  }
  std::error_code error;
  if (!fs::is_directory(repository.git_dir, error)) return std::nullopt;
  repository.common_dir = repository.git_dir;
  std::string common = read_text(repository.git_dir / "commondir");
  while (!common.empty() && (common.back() == '\n' || common.back() == '\r')) common.pop_back();
  if (!common.empty()) {
    const fs::path named(std::u8string(common.begin(), common.end()));
    repository.common_dir = named.is_absolute() ? named : repository.git_dir / named;
  }
  return repository;
}

// The rule files of one folder: read through the walk's handle on it, or by path.
class FolderFiles {
 public:
  virtual ~FolderFiles() = default;
  // An ignore file of the folder; never through a link, as git reads .gitignore.
  virtual std::string read(std::string_view name) = 0;
  virtual GitMark mark() = 0;
  // The folder as a path, for messages and for the repository it may hold.
  virtual fs::path where() = 0;
};

class FilesAtPath : public FolderFiles {
 public:
  explicit FilesAtPath(fs::path folder) : folder_(std::move(folder)) {}
  std::string read(std::string_view name) override {
    const fs::path file = folder_ / fs::path(std::u8string(name.begin(), name.end()));
    std::error_code error;
    if (fs::is_symlink(file, error)) return {};
    return read_text(file);
  }
  GitMark mark() override {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(folder_ / ".git", error);
    if (fs::is_directory(status)) return {GitMark::folder, {}};
    if (fs::is_regular_file(status)) return {GitMark::file, read_text(folder_ / ".git")};
    return {};
  }
  fs::path where() override { return folder_; }

 private:
  fs::path folder_;
};

class FilesInWalk : public FolderFiles {
 public:
  FilesInWalk(const platform::WalkFolder& folder, const std::string& path)
      : folder_(folder), path_(path) {}
  std::string read(std::string_view name) override { return read_text(folder_, name, false); }
  GitMark mark() override {
    platform::InputFile git(folder_, ".git", false);
    switch (git.status()) {
      case platform::InputFile::Status::open: {
        std::string text;
        char buffer[4096];
        while (const std::size_t got = git.read(buffer, sizeof buffer)) {
          if (text.size() < (64 << 10)) text.append(buffer, got);
        }
        return {GitMark::file, std::move(text)};
      }
      case platform::InputFile::Status::not_regular:
        return {GitMark::folder, {}};
      case platform::InputFile::Status::unreadable:
        break;
    }
    return {};
  }
  fs::path where() override { return platform::path_from_walk(path_); }

 private:
  const platform::WalkFolder& folder_;
  const std::string& path_;
};

}  // namespace

// The ignore rules that hold where a walk stands: the path from the top of the file system
// down to its folder, and on five stacks the rule files met on the way, in the order they
// speak: --exclude, .ignore (ripgrep's custom ignore files, over git's), .gitignore,
// info/exclude, the user's excludes file. The last three belong to the innermost repository
// and are looked at only from its top down.
class WalkRules {
 public:
  explicit WalkRules(const WalkOptions& options) : options_(options) {}

  // Stands in `folder`: reads the rule files of every folder above it (by path) and tests
  // each name on the way down, itself included; returns why the rules leave one of them
  // out, if they do. Its own rule files are read next, by read_here. --exclude is relative
  // to the repository's top with `excludes_at_top`, else to the folder itself.
  std::optional<IgnoredBy> start(const fs::path& folder, bool excludes_at_top) {
    while (!levels_.empty()) leave();
    repos_.clear();
    levels_.emplace_back();
    std::error_code error;
    fs::path real = fs::canonical(folder, error);
    std::vector<fs::path> names;
    if (error) {
      // Beyond what the system can name (a current folder past PATH_MAX): the folder stands
      // alone, with its own rules and none from above.
      real = folder;
    } else {
      for (const fs::path& name : real.relative_path()) {
        if (!name.empty()) names.push_back(name);
      }
    }
    here_ = real;
    top_ = error ? real : real.root_path();
    fs::path at = top_;
    // Only the innermost repository around the folder counts: the folder's own, if it is
    // the top of one (read_here reads that), else the nearest above.
    std::size_t top = names.size();
    for (std::size_t i = 0; !error && i <= names.size(); ++i) {
      if (FilesAtPath(at).mark().kind != GitMark::none) top = i;
      if (i < names.size()) at /= names[i];
    }
    excludes_pending_ = !excludes_at_top || top == names.size();
    at = top_;
    for (std::size_t i = 0; i < names.size(); ++i) {
      FilesAtPath files(at);
      read_files(files, i == top);
      if (!excludes_pending_ && i == top) push_excludes();
      const std::string name = platform::walk_name_of(names[i]);
      if (std::optional<IgnoredBy> why = explain(name, true)) return why;
      push_name(name);
      levels_.emplace_back();
      at /= names[i];
    }
    return std::nullopt;
  }

  // The folder given by start, as it named it.
  const fs::path& here() const { return here_; }

  // Reads the rule files of the folder the walk stands in (and the repository it may start).
  void read_here(FolderFiles& files) {
    read_files(files, true);
    if (excludes_pending_) {
      push_excludes();
      excludes_pending_ = false;
    }
  }

  void enter(std::string_view name, FolderFiles& files) {
    push_name(name);
    levels_.emplace_back();
    read_files(files, true);
  }

  void leave() {
    const Level level = levels_.back();
    if (level.excludes) excludes_.pop();
    if (level.ignore) dot_ignores_.pop();
    if (level.gitignore) gitignores_.pop();
    if (level.repository) {
      info_excludes_.pop();
      user_excludes_.pop();
      repos_.pop_back();
    }
    levels_.pop_back();
    if (!starts_.empty() && levels_.size() == starts_.size()) pop_name();
  }

  bool ignored(std::string_view name, bool folder) {
    const RuleStack::Found found = decide(name, folder);
    return found.rule != nullptr && !found.rule->negated;
  }

  std::optional<IgnoredBy> explain(std::string_view name, bool folder) {
    const RuleStack::Found found = decide(name, folder);
    if (found.rule == nullptr || found.rule->negated) return std::nullopt;
    fs::path file = found.file->file;
    if (file.empty() && !found.file->name.empty()) {
      file = folder_at(found.file->depth) / found.file->name;
    }
    return IgnoredBy{std::move(file), found.rule->line, found.rule->text()};
  }

 private:
  struct Level {
    bool excludes = false;
    bool ignore = false;
    bool gitignore = false;
    bool repository = false;
  };
  struct Repository {
    std::size_t depth;
    bool casefold;
  };

  std::size_t depth() const { return starts_.size(); }

  void push_name(std::string_view name) {
    if (!starts_.empty()) path_ += '/';
    starts_.push_back(static_cast<std::uint32_t>(path_.size()));
    path_.append(name);
  }

  void pop_name() {
    path_.resize(starts_.back() == 0 ? 0 : starts_.back() - 1);
    starts_.pop_back();
  }

  // The rules of `text`, from a file off the walk's path, or (`file` empty) the file `name`
  // of the folder the walk stands in; none when it has none.
  std::unique_ptr<RuleFile> rule_file(fs::path file, std::string_view name, std::string_view text,
                                      bool casefold) const {
    auto rules = std::make_unique<RuleFile>();
    rules->rules = parse_ignore_rules(text);
    if (rules->rules.empty()) return nullptr;
    rules->file = std::move(file);
    rules->name = name;
    rules->depth = depth();
    rules->casefold = casefold;
    return rules;
  }

  // The path of the folder at `depth` on the walk's path, for a message.
  fs::path folder_at(std::size_t depth) const {
    fs::path folder = top_;
    for (std::size_t i = 0; i < depth; ++i) {
      const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] - 1 : path_.size();
      folder /=
          platform::path_from_walk(std::string_view(path_).substr(starts_[i], end - starts_[i]));
    }
    return folder;
  }

  void read_files(FolderFiles& files, bool may_start_repository) {
    Level& level = levels_.back();
    if (!options_.ignore_files) return;
    if (may_start_repository) {
      // The folder's path is made only for a repository: a deep walk would make it at every
      // level, names upon names.
      const GitMark mark = files.mark();
      const std::optional<GitRepository> repository =
          mark.kind == GitMark::none ? std::nullopt : repository_of(mark, files.where());
      if (repository) {
        const GitIgnoreSettings settings = git_ignore_settings(*repository);
        const fs::path exclude = repository->common_dir / "info" / "exclude";
        info_excludes_.push(rule_file(exclude, {}, read_text(exclude), settings.ignore_case));
        user_excludes_.push(settings.excludes_file.empty()
                                ? nullptr
                                : rule_file(settings.excludes_file, {},
                                            read_text(settings.excludes_file),
                                            settings.ignore_case));
        repos_.push_back({depth(), settings.ignore_case});
        level.repository = true;
      }
    }
    if (auto ignore = rule_file({}, ".ignore", files.read(".ignore"), false)) {
      dot_ignores_.push(std::move(ignore));
      level.ignore = true;
    }
    if (!repos_.empty()) {
      if (auto gitignore =
              rule_file({}, ".gitignore", files.read(".gitignore"), repos_.back().casefold)) {
        gitignores_.push(std::move(gitignore));
        level.gitignore = true;
      }
    }
  }

  void push_excludes() {
    if (options_.excludes.empty()) return;
    auto excludes = std::make_unique<RuleFile>();
    for (std::size_t i = 0; i < options_.excludes.size(); ++i) {
      for (IgnoreRule& rule : parse_ignore_rules(options_.excludes[i])) {
        rule.line = i + 1;
        excludes->rules.push_back(std::move(rule));
      }
    }
    excludes->depth = depth();
    excludes_.push(std::move(excludes));
    levels_.back().excludes = true;
  }

  RuleStack::Found decide(std::string_view name, bool folder) {
    push_name(name);
    const NamePath path{path_, starts_};
    RuleStack::Found found = excludes_.test(path, folder);
    if (found.rule == nullptr) found = dot_ignores_.test(path, folder);
    if (found.rule == nullptr && !repos_.empty()) {
      const std::size_t top = repos_.back().depth;
      for (const RuleStack* stack : {&gitignores_, &info_excludes_, &user_excludes_}) {
        found = stack->test(path, folder, top);
        if (found.rule != nullptr) break;
      }
    }
    pop_name();
    return found;
  }

  const WalkOptions& options_;
  fs::path here_;
  fs::path top_;                       // the folder at depth 0: the root, or here_ alone
  std::string path_;                   // the names from the top, "/" between
  std::vector<std::uint32_t> starts_;  // where each name begins in path_
  std::vector<Level> levels_;          // what each folder on the path pushed, the top first
  std::vector<Repository> repos_;      // the repositories on the path, the innermost last
  bool excludes_pending_ = false;
  RuleStack excludes_;
  RuleStack dot_ignores_;
  RuleStack gitignores_;
  RuleStack info_excludes_;
  RuleStack user_excludes_;
};

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
  static constexpr std::size_t kLongest = [] {
    std::size_t size = kHead;
    for (const std::string_view head : kFindingsHeads) size = std::max(size, head.size());
    return size;
  }();
  // A file too short to hold a head costs no read.
  if (file.size() < kFindingsHeads[0].size()) return false;
  char start[kLongest];
  std::string_view rest(
      start, file.read_start(
                 start, static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kLongest))));
  if (std::any_of(kFindingsHeads.begin(), kFindingsHeads.end(),
                  [&](std::string_view head) { return rest.starts_with(head); })) {
    return true;
  }
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
  if (!options_.output.empty()) {
    // The file itself, or the one it leads to: a link is never written through, but one
    // that leads to an input says the output was meant to be that input.
    platform::FileId id;
    if (platform::target_id(options_.output, id)) output_ids_.push_back(id);
    if (platform::file_id(options_.output, id)) output_ids_.push_back(id);
  }
  if (options_.ignore_files || !options_.excludes.empty()) {
    rules_ = std::make_unique<WalkRules>(options_);
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

bool InputWalk::is_the_output(const platform::WalkFolder::Entry& entry) const {
  if (output_ids_.empty()) return false;
  const auto among = [&](const platform::FileId& id) {
    return std::find(output_ids_.begin(), output_ids_.end(), id) != output_ids_.end();
  };
  if (entry.id_known) return among(entry.id);
  // A listing without identities (Windows): each file is asked, whatever its name, so that
  // another name of the same file (a link, a hard link, a short name) is known too.
  platform::FileId id;
  return folder_.entry_target_id(entry.name, id) && among(id);
}

void InputWalk::add(void* walk, const platform::WalkFolder::Entry& entry) {
  InputWalk& self = *static_cast<InputWalk*>(walk);
  if (entry.name.empty() || entry.name.front() == '.') return;
  const auto ignored = [&](bool folder) {
    return self.rules_ != nullptr && self.rules_->ignored(entry.name, folder);
  };
  switch (entry.kind) {
    case Kind::hidden:
    case Kind::link_to_folder:
      return;
    case Kind::folder:
      if (ignored(true)) return;
      break;
    case Kind::bad_name:
      break;
    case Kind::file:
      if (!takes_name(entry.name) || self.is_output(entry) || ignored(false)) return;
      break;
    case Kind::not_regular:
    case Kind::unreadable:
      if (!takes_name(entry.name) || ignored(false)) return;
      break;
  }
  Level& level = *self.levels_.back();
  level.entries.push_back({level.names.keep(entry.name),
                           static_cast<std::uint32_t>(entry.name.size()), entry.kind, entry.follow,
                           entry.kind == Kind::file && self.is_the_output(entry)});
}

bool InputWalk::list(std::optional<std::string_view> name) {
  levels_.push_back(std::make_unique<Level>());
  levels_.back()->path_size = path_.size();
  if (rules_ != nullptr) {
    FilesInWalk files(folder_, path_);
    try {
      if (name) {
        rules_->enter(*name, files);
      } else {
        rules_->read_here(files);
      }
    } catch (...) {
      levels_.pop_back();
      throw;
    }
  }
  if (!folder_.list(&InputWalk::add, this)) {
    levels_.pop_back();
    if (rules_ != nullptr && name) rules_->leave();
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

std::nullopt_t InputWalk::stop_at_output(fs::path input) {
  output_met_ = std::move(input);
  levels_.clear();
  next_path_ = paths_.size();
  return std::nullopt;
}

std::optional<WalkItem> InputWalk::next() {
  using What = WalkItem::What;
  if (output_met_) return std::nullopt;
  for (;;) {
    if (levels_.empty()) {
      if (next_path_ == paths_.size()) return std::nullopt;
      const fs::path& path = paths_[next_path_++];
      std::error_code ignored;  // what cannot be looked at is opened as a file, and fails there
      if (!fs::is_directory(path, ignored)) {
        // A file given is read through any link: what it leads to must not be the output.
        platform::FileId id;
        if (!output_ids_.empty() && platform::target_id(path, id) &&
            std::find(output_ids_.begin(), output_ids_.end(), id) != output_ids_.end()) {
          return stop_at_output(path);
        }
        return WalkItem{path, true, What::file};
      }
      // A folder that the rules of the folders above leave out gives nothing, as in git.
      if (rules_ != nullptr && rules_->start(path, false)) continue;
      if (folder_.open(path) != platform::WalkFolder::Opened::ok) {
        return WalkItem{path, true, What::folder};
      }
      path_ = platform::walk_name_of(path);
      if (!list(std::nullopt)) return WalkItem{path, true, What::folder};
      continue;
    }
    Level& level = *levels_.back();
    if (level.next == level.entries.size()) {
      path_.resize(level.path_size);
      levels_.pop_back();
      if (!levels_.empty()) {
        if (rules_ != nullptr) rules_->leave();
        if (!folder_.leave()) {
          // The folder above was moved away meanwhile: nothing below the given one can be
          // reached any more from here.
          levels_.clear();
          return WalkItem{platform::path_from_walk(path_), false, What::folder};
        }
      }
      continue;
    }
    const Entry& entry = level.entries[level.next++];
    const std::string_view name(entry.name, entry.size);
    path_.resize(level.path_size);
    append_name(name);
    switch (entry.kind) {
      case Kind::folder:
        switch (folder_.enter(name)) {
          case platform::WalkFolder::Opened::ok:
            if (list(name)) continue;
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
        if (entry.output) {
          // The output itself: a report of ours is no input (it is written over as usual);
          // anything else would be read and then lost.
          platform::InputFile in(folder_, name, entry.follow);
          if (in.status() == platform::InputFile::Status::open && is_own_output(in)) continue;
          return stop_at_output(platform::path_from_walk(path_));
        }
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

std::optional<IgnoredBy> ignored_by(const fs::path& file, const WalkOptions& options) {
  if (!options.ignore_files && options.excludes.empty()) return std::nullopt;
  std::error_code error;
  const fs::path absolute = fs::absolute(file, error);
  if (error || !absolute.has_filename()) return std::nullopt;
  WalkRules rules(options);
  if (std::optional<IgnoredBy> why = rules.start(absolute.parent_path(), true)) return why;
  FilesAtPath files(rules.here());
  rules.read_here(files);
  return rules.explain(platform::walk_name_of(absolute.filename()),
                       fs::is_directory(absolute, error));
}

void note_ignored_folders(ModeOutcome& outcome, std::span<const fs::path> inputs,
                          const WalkOptions& options) {
  if (!options.ignore_files && options.excludes.empty()) return;
  for (const fs::path& input : inputs) {
    std::error_code error;
    if (!fs::is_directory(input, error)) continue;
    WalkRules rules(options);
    std::optional<IgnoredBy> why = rules.start(input, false);
    if (!why) {
      // The folder is taken, but perhaps nothing in it: the first entry a walk would take
      // but for the rules names the rule.
      FilesAtPath files(input);
      rules.read_here(files);
      std::vector<std::pair<std::string, bool>> entries;
      for (const fs::directory_entry& entry : fs::directory_iterator(input, error)) {
        const std::string name = platform::walk_name_of(entry.path().filename());
        // Links to folders are never entered; a link to a file is the file.
        if (name.empty() || name.front() == '.') continue;
        const bool link = entry.is_symlink(error);
        const bool folder = !link && entry.is_directory(error);
        if (folder || takes_name(name)) entries.emplace_back(name, folder);
      }
      std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return before(a.first, a.second, b.first, b.second);
      });
      for (const auto& [name, folder] : entries) {
        if ((why = rules.explain(name, folder))) break;
      }
    }
    if (why) outcome.ignored.push_back({input, why->rule_file, why->line, why->pattern});
  }
}

}  // namespace orven
