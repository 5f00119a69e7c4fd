// The inputs of a training run in their fixed order: the paths as given, and in place of a
// folder the files below it, in byte order of their paths relative to it (a name's bytes as
// UTF-8 on Windows). Only the walk's current branch is held, one sorted listing per level,
// so a tree of any size costs no more than its largest folder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orven {

struct WalkItem {
  std::filesystem::path path;
  bool named = false;   // given as a path: always taken, and a failure to read it fails the run
  bool folder = false;  // a folder whose names could not be read: nothing to open
};

// Whether a file met in a folder is taken: its name ends like one of the six patterns of the
// open dialog ("*.php" …), letters of any case, as the Windows dialog matches them.
bool takes_name(const std::filesystem::path& name);

class InputWalk {
 public:
  // The paths must outlive the walk.
  explicit InputWalk(std::span<const std::filesystem::path> paths);

  // The next input, or nothing after the last. Hidden names (a leading ".") are passed over
  // in folders, and so are links to folders; so are result.html and readme.txt of the
  // current folder, which the run itself writes, so that a second run reads what the first
  // did. A link to a file is taken like the file.
  std::optional<WalkItem> next();

 private:
  struct Entry {
    std::u8string key;  // the name, with "/" after a folder's: sorts as the whole paths do
    std::filesystem::path name;
    bool folder = false;
  };
  struct Level {
    std::filesystem::path folder;
    std::vector<Entry> entries;
    std::size_t next = 0;
  };

  // The level of one folder's entries, sorted; false when its names could not be read.
  bool enter(const std::filesystem::path& folder);

  std::span<const std::filesystem::path> paths_;
  std::size_t next_path_ = 0;
  std::vector<Level> levels_;  // from the folder given down to the one being read
  std::filesystem::path current_folder_;
};

}  // namespace orven
