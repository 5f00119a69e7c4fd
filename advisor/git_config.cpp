#include "advisor/git_config.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "advisor/ignore_rules.h"
#include "base/platform.h"

namespace orven {

namespace fs = std::filesystem;

namespace {

// git's own character classes (no locale): "space" is blank, tab, LF and CR.
bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool is_alpha(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_keychar(int c) {
  return is_alpha(c) || (c >= '0' && c <= '9') || c == '-';
}
char lower(int c) {
  return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

std::string lower(std::string_view s) {
  std::string out;
  for (const char c : s) out += lower(static_cast<unsigned char>(c));
  return out;
}

std::string utf8_of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// With "/" between names on every system, as git writes paths.
std::string generic_utf8(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return {text.begin(), text.end()};
}

fs::path path_of(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string read_whole(const fs::path& file, bool& found) {
  platform::InputFile in(file);
  found = in.status() == platform::InputFile::Status::open;
  std::string text;
  char buffer[4096];
  while (const std::size_t got = in.read(buffer, sizeof buffer)) text.append(buffer, got);
  return text;
}

// "~/" as the home folder, as git's --path does; anything else as it is.
fs::path expanded_path(std::string_view value) {
  if (value == "~" || value.starts_with("~/")) {
    std::string home = environment("HOME");
    if (home.empty()) home = environment("USERPROFILE");
    return path_of(home + std::string(value.substr(1)));
  }
  return path_of(value);
}

// git's default excludes file: $XDG_CONFIG_HOME/git/ignore, or ~/.config/git/ignore.
fs::path default_excludes_file() {
  const std::string xdg = environment("XDG_CONFIG_HOME");
  if (!xdg.empty()) return path_of(xdg) / "git" / "ignore";
  const std::string home = environment("HOME");
  if (!home.empty()) return path_of(home) / ".config" / "git" / "ignore";
  return {};
}

// git's boolean: no "=" is true, "" false, true/yes/on and false/no/off in any case, or a
// number (not 0 is true). Anything else git refuses; it counts as false here.
bool boolean(const GitConfigValue& v) {
  if (v.no_value) return true;
  const std::string s = lower(v.value);
  if (s == "true" || s == "yes" || s == "on") return true;
  if (s.empty() || s == "false" || s == "no" || s == "off") return false;
  std::size_t digits = s.front() == '-' || s.front() == '+' ? 1 : 0;
  const std::size_t start = digits;
  bool nonzero = false;
  for (; digits < s.size() && s[digits] >= '0' && s[digits] <= '9'; ++digits) {
    nonzero = nonzero || s[digits] != '0';
  }
  if (digits == start) return false;
  const std::string unit = s.substr(digits);
  return (unit.empty() || unit == "k" || unit == "m" || unit == "g") && nonzero;
}

// One configuration file's text, read the way git's parser reads it (config.c): a name is
// "section.name" or "section.subsection.name", section and name in lower case.
class Parser {
 public:
  using Entry =
      std::function<void(const std::string& key, const std::optional<std::string>& value)>;

  Parser(std::string_view text, Entry entry) : text_(text), entry_(std::move(entry)) {}

  // Stops at the first line git would call bad, keeping what came before.
  void run() {
    if (text_.starts_with("\xEF\xBB\xBF")) {
      at_ = 3;
    } else if (!text_.empty() && static_cast<unsigned char>(text_[0]) == 0xEF) {
      return;  // a byte order mark in part
    }
    std::string name;
    std::size_t section = 0;  // of name: the "section." part's length
    bool comment = false;
    for (;;) {
      const int c = next();
      if (c == '\n') {
        if (eof_) return;
        comment = false;
        continue;
      }
      if (comment || is_space(c)) continue;
      if (c == '#' || c == ';') {
        comment = true;
        continue;
      }
      if (c == '[') {
        name.clear();
        if (!section_name(name) || name.empty()) return;
        name += '.';
        section = name.size();
        continue;
      }
      if (!is_alpha(c)) return;
      name.resize(section);
      name += lower(c);
      if (!value(name)) return;
    }
  }

 private:
  int next() {
    if (at_ >= text_.size()) {
      eof_ = true;
      return '\n';
    }
    const int c = static_cast<unsigned char>(text_[at_++]);
    if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') {
      ++at_;
      return '\n';
    }
    return c;
  }

  bool section_name(std::string& name) {
    for (;;) {
      int c = next();
      if (eof_) return false;
      if (c == ']') return true;
      if (is_space(c)) {
        // [section "subsection"]: the subsection as written, "\" keeping the next byte.
        do {
          if (c == '\n') return false;
          c = next();
        } while (is_space(c));
        if (c != '"') return false;
        name += '.';
        for (;;) {
          c = next();
          if (c == '\n') return false;
          if (c == '"') break;
          if (c == '\\') {
            c = next();
            if (c == '\n') return false;
          }
          name += static_cast<char>(c);
        }
        return next() == ']';
      }
      if (!is_keychar(c) && c != '.') return false;
      name += lower(c);
    }
  }

  bool value(std::string& name) {
    int c;
    for (;;) {
      c = next();
      if (eof_ || !is_keychar(c)) break;
      name += lower(c);
    }
    while (c == ' ' || c == '\t') c = next();
    std::optional<std::string> v;
    if (c != '\n') {
      if (c != '=') return false;
      v = text();
      if (!v) return false;
    }
    entry_(name, v);
    return true;
  }

  // A value: blanks around it go, blanks inside become one " " each, "#" and ";" start a
  // comment outside quotes, and "\" escapes (a line end continues the value).
  std::optional<std::string> text() {
    std::string v;
    bool quote = false;
    bool comment = false;
    std::size_t spaces = 0;
    for (;;) {
      int c = next();
      if (c == '\n') {
        if (quote) return std::nullopt;
        return v;
      }
      if (comment) continue;
      if (is_space(c) && !quote) {
        if (!v.empty()) ++spaces;
        continue;
      }
      if (!quote && (c == ';' || c == '#')) {
        comment = true;
        continue;
      }
      v.append(spaces, ' ');
      spaces = 0;
      if (c == '\\') {
        c = next();
        switch (c) {
          case '\n':
            continue;
          case 't':
            c = '\t';
            break;
          case 'b':
            c = '\b';
            break;
          case 'n':
            c = '\n';
            break;
          case '\\':
          case '"':
            break;
          default:
            return std::nullopt;
        }
        v += static_cast<char>(c);
        continue;
      }
      if (c == '"') {
        quote = !quote;
        continue;
      }
      v += static_cast<char>(c);
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  bool eof_ = false;
  Entry entry_;
};

// Every setting the repository's configuration gives, in the order git reads them: the
// system file, the user's (XDG, then ~/.gitconfig), the repository's, its worktree's, the
// GIT_CONFIG_COUNT settings; an include where it stands.
class Reader {
 public:
  explicit Reader(const GitRepository& repository) : repository_(repository) {}

  std::vector<std::pair<std::string, GitConfigValue>> read() {
    const std::string no_system = lower(environment("GIT_CONFIG_NOSYSTEM"));
    if (no_system.empty() || !boolean({no_system, false})) {
      const std::string system = environment("GIT_CONFIG_SYSTEM");
      file(system.empty() ? platform::system_git_config() : path_of(system), 0);
    }
    if (const char* global = std::getenv("GIT_CONFIG_GLOBAL")) {
      file(path_of(global), 0);
    } else {
      const std::string xdg = environment("XDG_CONFIG_HOME");
      const std::string home = environment("HOME");
      if (!xdg.empty()) {
        file(path_of(xdg) / "git" / "config", 0);
      } else if (!home.empty()) {
        file(path_of(home) / ".config" / "git" / "config", 0);
      }
      if (!home.empty()) file(path_of(home) / ".gitconfig", 0);
    }
    const std::size_t local = entries_.size();
    file(repository_.common_dir / "config", 0);
    bool worktree_config = false;
    for (std::size_t i = local; i < entries_.size(); ++i) {
      if (entries_[i].first == "extensions.worktreeconfig") {
        worktree_config = boolean(entries_[i].second);
      }
    }
    if (worktree_config) file(repository_.git_dir / "config.worktree", 0);
    const std::string count = environment("GIT_CONFIG_COUNT");
    for (int i = 0, n = std::atoi(count.c_str()); i < n && i < 10000; ++i) {
      const std::string key = environment(("GIT_CONFIG_KEY_" + std::to_string(i)).c_str());
      const std::string value = environment(("GIT_CONFIG_VALUE_" + std::to_string(i)).c_str());
      const std::size_t first = key.find('.');
      const std::size_t last = key.rfind('.');
      if (first == std::string::npos || first == last) {
        add(lower(key), GitConfigValue{value, false}, {}, 0);
        continue;
      }
      // The section and the name in lower case, the subsection as it is.
      add(lower(key.substr(0, first)) + key.substr(first, last - first) + lower(key.substr(last)),
          GitConfigValue{value, false}, {}, 0);
    }
    return std::move(entries_);
  }

 private:
  // git stops at an include ten files deep (and fails); the settings read so far stay.
  static constexpr int kDeepestInclude = 10;

  void file(const fs::path& path, int depth) {
    if (path.empty() || depth > kDeepestInclude) return;
    bool found = false;
    const std::string text = read_whole(path, found);
    if (!found) return;
    Parser(text, [&](const std::string& key, const std::optional<std::string>& value) {
      add(key, value ? GitConfigValue{*value, false} : GitConfigValue{{}, true}, path, depth);
    }).run();
  }

  void add(const std::string& key, const GitConfigValue& value, const fs::path& from, int depth) {
    entries_.emplace_back(key, value);
    if (value.no_value || from.empty()) return;
    if (key == "include.path") {
      include(value.value, from, depth);
    } else if (key.starts_with("includeif.") && key.ends_with(".path") && key.size() > 15) {
      if (holds(key.substr(10, key.size() - 15), from)) include(value.value, from, depth);
    }
  }

  void include(const std::string& value, const fs::path& from, int depth) {
    fs::path path = expanded_path(value);
    if (path.is_relative()) path = from.parent_path() / path;
    file(path, depth + 1);
  }

  // [includeIf "gitdir:…"], "gitdir/i:…" and "onbranch:…" as git tests them; any other
  // condition does not hold.
  bool holds(std::string_view condition, const fs::path& from) const {
    bool casefold = false;
    if (condition.starts_with("gitdir:")) {
      condition.remove_prefix(7);
    } else if (condition.starts_with("gitdir/i:")) {
      condition.remove_prefix(9);
      casefold = true;
    } else if (condition.starts_with("onbranch:")) {
      condition.remove_prefix(9);
      bool found = false;
      std::string head = read_whole(repository_.git_dir / "HEAD", found);
      while (!head.empty() && is_space(static_cast<unsigned char>(head.back()))) head.pop_back();
      constexpr std::string_view kBranch = "ref: refs/heads/";
      if (!head.starts_with(kBranch)) return false;
      std::string pattern(condition);
      if (pattern.ends_with('/')) pattern += "**";
      return wildmatch(pattern, std::string_view(head).substr(kBranch.size()), kWildPathname);
    } else {
      return false;
    }
    std::string pattern = generic_utf8(expanded_path(condition));
    std::size_t prefix = 0;
    std::error_code error;
    if (pattern.size() >= 2 && pattern[0] == '.' && pattern[1] == '/') {
      // Relative to the folder of the file that holds the condition; that part literal.
      fs::path folder = fs::weakly_canonical(fs::absolute(from, error), error).parent_path();
      const std::string base = generic_utf8(folder);
      pattern.replace(0, 1, base);
      prefix = base.size() + 1;
    } else if (!fs::path(path_of(pattern)).is_absolute() && !pattern.starts_with('/')) {
      pattern.insert(0, "**/");
    }
    if (pattern.ends_with('/')) pattern += "**";
    const unsigned flags = kWildPathname | (casefold ? kWildCasefold : 0);
    const auto matches = [&](const fs::path& dir) {
      const std::string text = generic_utf8(dir);
      if (text.size() < prefix) return false;
      const std::string head = pattern.substr(0, prefix);
      const std::string start = text.substr(0, prefix);
      if (casefold ? lower(head) != lower(start) : head != start) return false;
      return wildmatch(std::string_view(pattern).substr(prefix),
                       std::string_view(text).substr(prefix), flags);
    };
    // The folder with its links resolved, then as written (made absolute), as git does.
    const fs::path absolute = fs::absolute(repository_.git_dir, error);
    return matches(fs::weakly_canonical(absolute, error)) || matches(absolute.lexically_normal());
  }

  const GitRepository& repository_;
  std::vector<std::pair<std::string, GitConfigValue>> entries_;
};

// The key as the reader keeps it: section and name in lower case.
std::string normal_key(std::string_view key) {
  const std::size_t first = key.find('.');
  const std::size_t last = key.rfind('.');
  if (first == std::string_view::npos || first == last) return lower(key);
  return lower(key.substr(0, first)) + std::string(key.substr(first, last - first)) +
         lower(key.substr(last));
}

std::optional<GitConfigValue> last_of(
    const std::vector<std::pair<std::string, GitConfigValue>>& entries, std::string_view key) {
  const std::string wanted = normal_key(key);
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (entry->first == wanted) return entry->second;
  }
  return std::nullopt;
}

fs::path excludes_file_from(const std::optional<std::string>& value, const GitRepository& repo) {
  if (!value) return default_excludes_file();
  if (value->empty()) return {};
  fs::path path = expanded_path(*value);
  // git reads a relative name from the top of the work tree, where it runs.
  if (path.is_relative()) path = repo.work_tree / path;
  return path;
}

std::string first_line(const std::string& output) {
  return output.substr(0, output.find('\n'));
}

}  // namespace

std::optional<GitConfigValue> read_git_config(const GitRepository& repository,
                                              std::string_view key) {
  return last_of(Reader(repository).read(), key);
}

GitIgnoreSettings read_ignore_settings(const GitRepository& repository) {
  const auto entries = Reader(repository).read();
  GitIgnoreSettings settings;
  std::optional<std::string> excludes;
  if (const auto value = last_of(entries, "core.excludesfile"); value && !value->no_value) {
    excludes = value->value;
  }
  settings.excludes_file = excludes_file_from(excludes, repository);
  if (const auto value = last_of(entries, "core.ignorecase"))
    settings.ignore_case = boolean(*value);
  return settings;
}

GitIgnoreSettings git_ignore_settings(const GitRepository& repository) {
  std::error_code error;
  const fs::path git_dir = fs::absolute(repository.git_dir, error);
  if (error) return read_ignore_settings(repository);
  const std::vector<std::string> excludes{"--git-dir=" + utf8_of(git_dir), "config", "--get",
                                          "--path", "core.excludesFile"};
  const std::vector<std::string> ignorecase{"--git-dir=" + utf8_of(git_dir), "config", "--get",
                                            "--type=bool", "core.ignorecase"};
  // git answers 0 with the value, 1 when it is not set; anything else (a file it cannot
  // parse, say) leaves the answer to our reader.
  const std::optional<platform::ProgramRun> file = platform::run_program("git", excludes);
  if (!file || (file->status != 0 && file->status != 1)) return read_ignore_settings(repository);
  const std::optional<platform::ProgramRun> fold = platform::run_program("git", ignorecase);
  if (!fold || (fold->status != 0 && fold->status != 1)) return read_ignore_settings(repository);
  GitIgnoreSettings settings;
  settings.excludes_file = excludes_file_from(
      file->status == 0 ? std::optional<std::string>(first_line(file->output)) : std::nullopt,
      repository);
  settings.ignore_case = fold->status == 0 && first_line(fold->output) == "true";
  return settings;
}

}  // namespace orven
