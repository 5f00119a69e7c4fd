// The inputs of a training run in their fixed order: the paths as given, and in place of a
// folder the source files below it, in byte order of their paths relative to it (a name's
// bytes as UTF-8 on Windows). The walk stands in one folder at a time, held by its handle
// (base/platform.h, WalkFolder), and keeps only the names still to come of each folder on
// its branch: memory grows with the depth and the largest folder only by their names' bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/ignore_rules.h"
#include "base/mode_outcome.h"
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

// What the walk leaves out besides what it always does, and the output it must not read.
struct WalkOptions {
  // Ignore files as git and ripgrep read them. In every git repository (a folder holding
  // ".git", a folder or a file that names the repository): its .gitignore files from its top
  // down, its info/exclude and the user's excludes file (core.excludesFile), matched with
  // its core.ignorecase; a repository inside another has its own and none of the outer
  // one's. Everywhere: .ignore files, which win over all of those. The files of the folders
  // above a folder given count as those below it, so a walk takes the same files from any
  // folder it starts in; a folder given that the rules leave out gives nothing.
  bool ignore_files = true;
  // More patterns of the same syntax, relative to each folder given; they win over all.
  std::vector<std::string> excludes;
  // The run's output (orven-cli --output). A file the walk would give that is this very
  // file (by identity, whatever path, link or letter case leads there) ends the walk, and
  // InputWalk::output_met() names it: the run must not write over what it reads. A report
  // this program wrote is no input, and is passed over as anywhere else.
  std::filesystem::path output{};
};

// The rule that leaves a file out: its ignore file (empty for --exclude), its line there
// (for --exclude, which of them, from 1) and the pattern as written.
struct IgnoredBy {
  std::filesystem::path rule_file;
  std::uint64_t line = 0;
  std::string pattern;
};

// Why the walk of any folder above `file` (its repository's root, or the folder itself
// outside git) would leave it out by ignore rules or `options.excludes`; nothing when it
// would take it (hidden names and endings aside). A folder above it that the rules leave out
// is named in its place.
std::optional<IgnoredBy> ignored_by(const std::filesystem::path& file,
                                    const WalkOptions& options = {});

// For the message of a run whose folders gave no source (Status::no_sources): each folder
// given that the ignore rules leave out, or whose every entry that would be taken they leave
// out, with the rule that does (the first such entry's, in walk order).
void note_ignored_folders(ModeOutcome& outcome, std::span<const std::filesystem::path> inputs,
                          const WalkOptions& options);

// Whether a file met in a folder is taken: its name ends like one of kSourceEndings.
bool takes_name(std::string_view name);

// How the machine-readable findings begin (app/findings_output.h: JSON, then SARIF), whatever
// the run found: enough of the library's dump to be told from any source by their first bytes.
inline constexpr std::array<std::string_view, 2> kFindingsHeads{
    "{\n  \"format\": \"orven-findings\",\n",
    "{\n  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n  \"version\": "
    "\"2.1.0\",\n  \"runs\": [\n    {\n      \"tool\": {\n        \"driver\": {\n          "
    "\"name\": \"orven-cli\",\n"};

// Whether a file met in a folder, open and not read yet, is one of this program's outputs
// rather than a source: a report that a run wrote, or its findings as JSON or SARIF, under
// whatever name and wherever they were written, proved by their first bytes (the head every
// report starts with, or one of kFindingsHeads). The reads that follow still begin at the
// file's start.
bool is_own_output(platform::InputFile& file);

class WalkRules;

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

  // The input that is WalkOptions::output, as the walk met it; the walk gave nothing after.
  const std::optional<std::filesystem::path>& output_met() const { return output_met_; }

 private:
  struct Entry {
    const char* name;
    std::uint32_t size;
    platform::WalkFolder::Kind kind;
    bool follow;
    bool output;  // the same file as WalkOptions::output
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
    std::size_t path_size = 0;  // of path_ in this folder
  };

  static void add(void* walk, const platform::WalkFolder::Entry& entry);
  bool is_output(const platform::WalkFolder::Entry& entry) const;
  bool is_the_output(const platform::WalkFolder::Entry& entry) const;
  // Lists the folder the walk stands in as a new level, `name` below the one above (none for
  // a folder given); false when its names could not be read.
  bool list(std::optional<std::string_view> name);
  void append_name(std::string_view name);
  std::nullopt_t stop_at_output(std::filesystem::path input);

  std::span<const std::filesystem::path> paths_;
  WalkOptions options_;
  std::unique_ptr<WalkRules> rules_;  // none when no rule can leave anything out
  std::size_t next_path_ = 0;
  std::vector<platform::FileId> outputs_;
  std::vector<platform::FileId> output_ids_;  // of WalkOptions::output, and what it leads to
  std::optional<std::filesystem::path> output_met_;
  platform::WalkFolder folder_;
  std::vector<std::unique_ptr<Level>> levels_;  // from the folder given down to the one read
  std::string path_;                            // of the folder the walk stands in, walk bytes
  std::string last_;                            // the name of the file given last
  bool last_follow_ = false;
};

}  // namespace orven
