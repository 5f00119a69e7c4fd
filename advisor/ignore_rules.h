// Ignore rules as git reads them: the pattern lines of .gitignore, .ignore, info/exclude, the
// user's excludes file and --exclude, with git's own meaning (gitignore(5): "!" to take
// back, "/" to anchor, a trailing "/" for folders only, "*", "?", "[...]" and "**"), and the
// stack of rule files that hold where a walk stands, searched the way git searches them.
// The walk (advisor/input_walk.h) decides which files are read where; this file owns what a
// line means and which rule speaks last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orven {

// git's wildmatch: "*" and "?" match any byte but "/" under kWildPathname (any byte
// without), "**" between slashes any number of folders, "[...]" a set (never "/"); with
// kWildCasefold ASCII letters match in either case, with git's own quirks. Time and memory
// stay polynomial in the lengths, whatever the pattern.
inline constexpr unsigned kWildPathname = 1;
inline constexpr unsigned kWildCasefold = 2;
bool wildmatch(std::string_view pattern, std::string_view text, unsigned flags = kWildPathname);

struct IgnoreRule {
  std::string pattern;        // after a leading "!", without a trailing "/"; a leading "/" kept
  std::uint64_t line = 0;     // in its file, from 1
  std::uint32_t literal = 0;  // bytes before the first wildcard (of pattern)
  bool negated = false;       // "!": takes back what an earlier rule left out
  bool folder_only = false;   // a trailing "/"
  bool name_only = false;     // no "/" at all: matches the last name at any depth

  // The line as it was written, trailing blanks and a CR taken away.
  std::string text() const;
};

// The rules of an ignore file's text, as git reads it: a UTF-8 byte order mark at the start
// and a CR before each LF go; "#" starts a comment line; trailing blanks go unless a
// backslash keeps one; a line is cut at a zero byte.
std::vector<IgnoreRule> parse_ignore_rules(std::string_view text);

// Whether `rule` matches the path `below` ("/" between names, relative to the folder the
// rule was written in), whose last name is `name`; a folder-only rule is not looked at
// here. With `casefold` (git's core.ignorecase) letters match in either case.
bool rule_matches(const IgnoreRule& rule, std::string_view below, std::string_view name,
                  bool casefold);

// One ignore file (or the --exclude patterns) as read for a walk.
struct RuleFile {
  // Where the rules were read, for messages: a file off the walk's path (info/exclude, the
  // user's excludes file) by its path; one in a folder on the path by its name alone (".
  // gitignore"), the folder being the one at `depth` (a walk 10,000 folders deep would
  // otherwise keep 10,000 paths of up to 10,000 names). Both empty for --exclude.
  std::filesystem::path file;
  std::string_view name;
  std::vector<IgnoreRule> rules;
  std::size_t depth = 0;  // names from the top to the folder it was written in
  bool casefold = false;
};

// The path a walk tests: its names joined by "/", and where each begins. The name tested is
// the last one.
struct NamePath {
  std::string_view text;
  std::span<const std::uint32_t> starts;
};

// The rule files of one kind that hold at the walk's place, pushed as it goes down and
// popped as it comes back: the deeper file wins, and in a file the later line. test() costs
// what the distinct rules that could match cost, not what every level's copy of them would
// (a tree 10,000 folders deep with the same .gitignore in each has one rule to try, not
// 10,000): names without wildcards are looked up, wildcard names met again deeper stand in
// for their copies above, and a rule anchored below a folder is tried only at the depth its
// slashes fix.
class RuleStack {
 public:
  RuleStack();
  ~RuleStack();
  RuleStack(const RuleStack&) = delete;
  RuleStack& operator=(const RuleStack&) = delete;

  // `file` lies on the walk's path, deeper than (or as deep as) every file pushed before;
  // none holds a place without rules, for the pop() that goes with it.
  void push(std::unique_ptr<RuleFile> file);
  void pop();
  std::size_t size() const { return files_.size(); }

  struct Found {
    const RuleFile* file = nullptr;
    const IgnoreRule* rule = nullptr;
  };
  // The rule that speaks last of `path` (a folder or not), among the files written at
  // `least_depth` or deeper; none when no rule matches.
  Found test(const NamePath& path, bool folder, std::size_t least_depth = 0) const;

 private:
  struct Ref {
    const RuleFile* file;
    const IgnoreRule* rule;
    std::uint64_t rank;  // later pushes rank higher
  };
  struct Slot;
  void index(const RuleFile& file, bool add);
  std::vector<Ref>* refs(const Slot& slot, bool add);

  std::vector<std::unique_ptr<RuleFile>> files_;
  std::uint64_t next_rank_ = 0;
  // Names without wildcards, by the name (lower case for a casefold file).
  std::unordered_map<std::string, std::vector<Ref>> exact_names_;
  std::unordered_map<std::string, std::vector<Ref>> folded_names_;
  // Wildcard names by pattern and kind: the copies of one rule, the deepest last.
  std::unordered_map<std::string, std::vector<Ref>> wild_names_;
  // Anchored rules without "**", "[" or "\": by the depth of the paths they can match.
  std::unordered_map<std::size_t, std::vector<Ref>> by_depth_;
  std::vector<Ref> anchored_;  // the other anchored rules
};

}  // namespace orven
