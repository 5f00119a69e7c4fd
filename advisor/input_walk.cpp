#include "advisor/input_walk.h"

#include <algorithm>
#include <cstring>

#include "texts/product.h"

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

}  // namespace

bool takes_name(std::string_view name) {
  return std::any_of(kSourceEndings.begin(), kSourceEndings.end(),
                     [&](std::string_view ending) { return ends_like(name, ending); });
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

InputWalk::InputWalk(std::span<const fs::path> paths) : paths_(paths) {
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

void InputWalk::add(void* walk, const platform::WalkFolder::Entry& entry) {
  InputWalk& self = *static_cast<InputWalk*>(walk);
  if (entry.name.empty() || entry.name.front() == '.') return;
  switch (entry.kind) {
    case Kind::hidden:
    case Kind::link_to_folder:
      return;
    case Kind::folder:
    case Kind::bad_name:
      break;
    case Kind::file:
      if (!takes_name(entry.name) || self.is_output(entry)) return;
      break;
    case Kind::not_regular:
    case Kind::unreadable:
      if (!takes_name(entry.name)) return;
      break;
  }
  Level& level = *self.levels_.back();
  level.entries.push_back({level.names.keep(entry.name),
                           static_cast<std::uint32_t>(entry.name.size()), entry.kind,
                           entry.follow});
}

bool InputWalk::list() {
  levels_.push_back(std::make_unique<Level>());
  levels_.back()->path_size = path_.size();
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
      if (!fs::is_directory(path, ignored)) return WalkItem{path, true, What::file, false};
      if (folder_.open(path) != platform::WalkFolder::Opened::ok) {
        return WalkItem{path, true, What::folder, false};
      }
      path_ = platform::walk_name_of(path);
      if (!list()) return WalkItem{path, true, What::folder, false};
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
        return WalkItem{platform::path_from_walk(path_), false, What::folder, false};
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
            if (list()) continue;
            if (!folder_.leave()) levels_.clear();
            break;
          case platform::WalkFolder::Opened::link:  // swapped for a link meanwhile: never entered
          case platform::WalkFolder::Opened::not_folder:
            continue;
          case platform::WalkFolder::Opened::unreadable:
            break;
        }
        return WalkItem{platform::path_from_walk(path_), false, What::folder, false};
      case Kind::file:
        last_.assign(name);
        last_follow_ = entry.follow;
        return WalkItem{platform::path_from_walk(path_), false, What::file,
                        same_letters(name, texts::kReportFile)};
      case Kind::not_regular:
        return WalkItem{platform::path_from_walk(path_), false, What::not_regular, false};
      case Kind::bad_name:
        return WalkItem{platform::path_from_walk(path_), false, What::bad_name, false};
      default:
        return WalkItem{platform::path_from_walk(path_), false, What::unreadable, false};
    }
  }
}

std::unique_ptr<platform::InputFile> InputWalk::open_last() const {
  return std::make_unique<platform::InputFile>(folder_, last_, last_follow_);
}

}  // namespace orven
