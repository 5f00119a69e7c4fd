// What git's configuration says about ignoring files in one repository: core.excludesFile
// and core.ignorecase. Where git is installed, git reads its own configuration (a
// subprocess through the platform layer, so every form git accepts means what it means to
// git); where it is not (Windows without git), our reader below reads the same files the
// same way: the system, user and repository files, [include] and [includeIf], quoting,
// escapes, comments and line continuations. The walk (advisor/input_walk.h) asks this once
// for each repository it meets.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orven {

struct GitRepository {
  std::filesystem::path git_dir;     // ".git", or the folder a ".git" file names
  std::filesystem::path common_dir;  // where config and info/exclude live (a worktree's main one)
  std::filesystem::path work_tree;   // the folder that holds ".git"
};

struct GitIgnoreSettings {
  // The user's excludes file: core.excludesFile, or git's default ($XDG_CONFIG_HOME/git/ignore
  // or ~/.config/git/ignore); empty when there is none.
  std::filesystem::path excludes_file;
  bool ignore_case = false;  // core.ignorecase
};

// By git where it can be run, by read_ignore_settings where it cannot (or fails).
GitIgnoreSettings git_ignore_settings(const GitRepository& repository);

// Our own reading of git's configuration, for where git is not installed.
GitIgnoreSettings read_ignore_settings(const GitRepository& repository);

// The last value that the configuration of `repository` gives `key` ("core.excludesFile",
// "section.subsection.name": section and name in any letter case), as `git config --get`
// prints it; `no_value` for a name without "=" (a true boolean). Nothing when it is not set.
struct GitConfigValue {
  std::string value;
  bool no_value = false;
};
std::optional<GitConfigValue> read_git_config(const GitRepository& repository,
                                              std::string_view key);

}  // namespace orven
