// Ignore rules as programmers write them for git: the pattern lines of .gitignore, .ignore,
// .git/info/exclude, the user's excludes file and --exclude, with git's own meaning
// (gitignore(5): "!" to take back, "/" to anchor, a trailing "/" for folders only, "*", "?",
// "[...]" and "**"). One matcher for every system; the walk (advisor/input_walk.h) decides
// which rule sets apply where.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orven {

class IgnoreRules {
 public:
  // `base` is the folder the rules were written in, as a path relative to the root all
  // matched paths are relative to, with a "/" after each name ("" for the root itself).
  explicit IgnoreRules(std::string base = {}) : base_(std::move(base)) {}

  // Adds the rules of an ignore file's text, one per line; later lines win over earlier.
  void add_lines(std::string_view text);
  void add_line(std::string_view line);
  bool empty() const { return rules_.empty(); }
  const std::string& base() const { return base_; }

  // What the last rule that matches says of `path` (relative to the root, "/" between names,
  // no "/" at the end): ignored, taken back (a "!" rule), or nothing to say.
  enum class Verdict { none, ignored, kept };
  Verdict test(std::string_view path, bool folder) const;

 private:
  struct Rule {
    std::string pattern;
    bool negated = false;
    bool folder_only = false;
    bool anchored = false;  // holds a "/": matched against the whole path below the base
  };
  std::string base_;
  std::vector<Rule> rules_;
};

// git's wildmatch with WM_PATHNAME: "*" and "?" never match "/", "**" between slashes
// matches any number of folders.
bool wildmatch(std::string_view pattern, std::string_view text);

}  // namespace orven
