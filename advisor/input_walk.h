// The inputs of a training run in their fixed order: the paths as given, and in place of a
// folder the source files below it, in byte order of their paths relative to it (a name's
// bytes as UTF-8 on Windows). The walk stands in one folder at a time, held by its handle
// (base/platform.h, WalkFolder), and keeps only the names still to come of each folder on
// its branch: memory grows with the depth and the largest folder only by their names' bytes.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/ignore_rules.h"
#include "base/platform.h"

namespace orven {

// The name endings a folder's files are taken by, letters of any case: the sources of the
// languages the advice covers. Any other file (".txt" too) is read only when named.
inline constexpr std::array<std::string_view, 17> kSourceEndings{
    ".php",  ".inc", ".phtml",                                                // PHP
    ".html", ".htm", ".xhtml",                                                // HTML, XHTML
    ".js",   ".mjs",                                                          // JavaScript
    ".c",    ".cc",  ".cpp",   ".cxx", ".h", ".hh", ".hpp", ".hxx", ".inl"};  // C, C++

struct WalkItem {
  enum class What {
    file,         // to read
    folder,       // a folder whose names could not be read
    not_regular,  // a device, pipe or socket: never opened
    unreadable,   // what it is cannot be told (a broken link)
    bad_name,     // Windows: a name that is not valid UTF-16
  };
  std::filesystem::path path;
  bool named = false;  // given as a path: always taken, and a failure to read it fails the run
  What what = What::file;
};

// What the walk leaves out besides what it always does.
struct WalkOptions {
  // Inside a git work tree: .gitignore files at every level (those of the folders above the
  // one given too), .git/info/exclude and the user's excludes file (core.excludesFile); and
  // anywhere, .ignore files, which win over .gitignore.
  bool ignore_files = true;
  // More patterns of the same syntax, relative to each folder given; they win over all.
  std::vector<std::string> excludes;
};

// Whether a file met in a folder is taken: its name ends like one of kSourceEndings.
bool takes_name(std::string_view name);

// Whether a file met in a folder, open and not read yet, is one of this program's outputs
// rather than a source: a report that a run wrote, under whatever name and wherever it was
// written, proved by its first bytes (the head every report starts with). The reads that
// follow still begin at the file's start.
bool is_own_output(platform::InputFile& file);

class InputWalk {
 public:
  // The paths must outlive the walk. The identities of the outputs in the current folder
  // are taken now, so that no walk reads them, whatever path leads there.
  explicit InputWalk(std::span<const std::filesystem::path> paths, WalkOptions options = {});
  ~InputWalk();

  // The next input, or nothing after the last. Left out in folders: hidden names (a leading
  // ".", and on Windows the hidden or system attribute), links to folders, names of other
  // endings, and this program's outputs (the current folder's by identity). A link to a
  // file is taken like the file. Out of memory throws std::bad_alloc.
  std::optional<WalkItem> next();

  // Opens the file the last next() gave (a file, not named), in the folder it was met in.
  std::unique_ptr<platform::InputFile> open_last() const;

 private:
  struct Entry {
    const char* name;
    std::uint32_t size;
    platform::WalkFolder::Kind kind;
    bool follow;
  };
  // The names of one folder, in blocks that grow with the folder: no block is ever copied,
  // so a folder of 200,000 names costs their bytes and little more.
  class Names {
   public:
    const char* keep(std::string_view name);

   private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t left_ = 0;
    std::size_t next_size_ = 256;
    char* at_ = nullptr;
  };
  struct Level {
    Names names;
    std::vector<Entry> entries;
    std::size_t next = 0;
    std::size_t path_size = 0;       // of path_ in this folder
    std::size_t relative_size = 0;   // of relative_ in this folder
    std::vector<IgnoreRules> rules;  // its .ignore, then its .gitignore
  };

  static void add(void* walk, const platform::WalkFolder::Entry& entry);
  bool ignored(std::string_view name, bool folder) const;
  // The rules that hold for the whole of the folder given: its git work tree's, those of the
  // folders between that and it, and --exclude.
  void start_rules(const std::filesystem::path& folder);
  bool is_output(const platform::WalkFolder::Entry& entry) const;
  // Lists the folder the walk stands in as a new level; false when its names could not be read.
  bool list();
  void append_name(std::string_view name);

  std::span<const std::filesystem::path> paths_;
  WalkOptions options_;
  bool in_git_ = false;                // the folder given is inside a git work tree
  std::vector<IgnoreRules> excludes_;  // --exclude, for the folder given
  std::vector<IgnoreRules> above_;     // .ignore and .gitignore above it, nearest first
  std::vector<IgnoreRules> global_;    // .git/info/exclude, then the user's excludes file
  std::string relative_;  // of the folder the walk stands in, below the root, "/" after each
  std::size_t next_path_ = 0;
  std::vector<platform::FileId> outputs_;
  platform::WalkFolder folder_;
  std::vector<std::unique_ptr<Level>> levels_;  // from the folder given down to the one read
  std::string path_;                            // of the folder the walk stands in, walk bytes
  std::string last_;                            // the name of the file given last
  bool last_follow_ = false;
};

}  // namespace orven
