// The training run as a whole, on disk: the report's line ends, replacing an earlier report,
// the failures that leave result.html as it was, and a run over several files and folders:
// their order, what a walk takes and skips, and that the report is the one of all their
// bytes in one file, whatever the threads.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <system_error>
#include <tuple>

#include "advisor/git_config.h"
#include "advisor/input_walk.h"
#include "texts/cpp_rules.h"
#include "texts/rule.h"
#include "texts/web_rules.h"
#include "training_fixture.h"

namespace orven::testing {
namespace {

namespace fs = std::filesystem;
using TrainingRun = TrainingTest;
using Status = ModeOutcome::Status;
using Why = SkippedInput::Why;

// Only result.html is left in the folder besides what the test put there.
std::vector<std::string> folder_names() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Every LF reaches the disk as CR LF, so the CR LF inside web rule 21 becomes CR CR LF; the
// file ends with the document's end and no line break.
TEST_F(TrainingRun, ReportOnDiskHasCrLfLineEnds) {
  ASSERT_EQ(run("<?php mail('a', 'b', 'c');").status, Status::ok);
  const std::string disk = read_bytes("result.html");
  std::string expected;
  for (const char c : report()) {
    if (c == '\n') expected += '\r';
    expected += c;
  }
  EXPECT_EQ(disk, expected);
  EXPECT_NE(disk.find("</div><div class=\"b1\">\r\n\r\n"), std::string::npos);
  EXPECT_NE(disk.find("</p></div>\r\n\r\n"), std::string::npos);
  std::size_t cr_cr_lf = 0;
  for (std::size_t at = disk.find("\r\r\n"); at != std::string::npos;
       at = disk.find("\r\r\n", at + 1)) {
    ++cr_cr_lf;
  }
  EXPECT_EQ(cr_cr_lf, 3u);
  EXPECT_TRUE(disk.ends_with("</div></body></html>"));
  EXPECT_EQ(folder_names(), (std::vector<std::string>{"result.html", "source.txt"}));
}

// Every run replaces the report whole; an empty or blank source gets the frame alone.
TEST_F(TrainingRun, EachRunReplacesTheReport) {
  ASSERT_EQ(run("#include <windows.h> MessageBox fopen").status, Status::ok);
  const std::string first = read_bytes("result.html");
  ASSERT_EQ(run("").status, Status::ok);
  const std::string second = read_bytes("result.html");
  EXPECT_LT(second.size(), first.size());
  EXPECT_EQ(second.find(kCppHeading), std::string::npos);
  ASSERT_EQ(run("\n\n \t").status, Status::ok);
  EXPECT_EQ(read_bytes("result.html"), second);
}

// A given file that cannot be read is a failure that names it (the first in order, when
// several cannot) and leaves result.html alone, however many files were read before it.
TEST_F(TrainingRun, UnreadableSourceLeavesTheReportAlone) {
  write_bytes("result.html", "earlier report");
  write_bytes("a.php", "<?php echo 1;");
  const std::vector<std::vector<fs::path>> cases{
      {"missing.txt"}, {"a.php", "missing.txt"}, {"a.php", "missing.txt", "a.php", "gone.php"}};
  for (const std::vector<fs::path>& paths : cases) {
    for (const unsigned threads : {1u, 8u}) {
      const ModeOutcome outcome = run_paths(paths, {threads, 3});
      EXPECT_EQ(outcome.status, Status::input_unreadable) << paths.size();
      EXPECT_EQ(outcome.file, "missing.txt");
      EXPECT_EQ(read_bytes("result.html"), "earlier report");
    }
  }
}

// Skipped for a user whom permissions do not stop.
TEST_F(TrainingRun, SourceWithoutReadPermissionIsUnreadable) {
  write_bytes("result.html", "earlier report");
  write_bytes("locked.txt", "<?php");
  std::filesystem::permissions("locked.txt", std::filesystem::perms::none);
  if (std::ifstream("locked.txt").is_open()) {
    GTEST_SKIP() << "this user reads files without read permission";
  }
  EXPECT_EQ(run_file("locked.txt").status, Status::input_unreadable);
  EXPECT_EQ(read_bytes("result.html"), "earlier report");
}

// A result.html that cannot be replaced (a folder of that name, a write-protected report, on
// Windows one that a reader holds open without sharing) is a failure naming it; it stays as
// it was and no temporary file is left behind.
TEST_F(TrainingRun, UnwritableReportIsAFailure) {
  std::filesystem::create_directory("result.html");
  const ModeOutcome outcome = run("<?php");
  EXPECT_EQ(outcome.status, Status::output_unwritable);
  EXPECT_EQ(outcome.file, "result.html");
  EXPECT_TRUE(std::filesystem::is_directory("result.html"));
  EXPECT_EQ(folder_names(), (std::vector<std::string>{"result.html", "source.txt"}));

  std::filesystem::remove("result.html");
  write_bytes("result.html", "earlier report");
  std::filesystem::permissions("result.html", std::filesystem::perms::owner_read);
  EXPECT_EQ(run("<?php").status, Status::output_unwritable);
  EXPECT_EQ(read_bytes("result.html"), "earlier report");
  std::filesystem::permissions("result.html", std::filesystem::perms::owner_all);
#ifdef _WIN32
  {
    const HANDLE reader = CreateFileW(L"result.html", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(run("<?php").status, Status::output_unwritable);
    CloseHandle(reader);
  }
  EXPECT_EQ(read_bytes("result.html"), "earlier report");
#endif
  EXPECT_EQ(folder_names(), (std::vector<std::string>{"result.html", "source.txt"}));
}

// A folder where nothing can be created; skipped for a user whom permissions do not stop.
TEST_F(TrainingRun, ReadOnlyFolderIsAFailure) {
  write_bytes("source.txt", "<?php");
  std::filesystem::permissions(
      dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (std::ofstream("probe").is_open()) {
    std::filesystem::remove("probe");
    GTEST_SKIP() << "this user writes into read-only folders";
  }
  const ModeOutcome outcome = run_file("source.txt");
  EXPECT_EQ(outcome.status, Status::output_unwritable);
  EXPECT_FALSE(std::filesystem::exists("result.html"));
}

// Several files, given one by one or as a folder, make the report of one file holding all
// their bytes in order: cut anywhere, inside words and keywords too, with empty files among
// them, read by 1 or by 8 threads in chunks of any size.
TEST_F(TrainingRun, SeveralFilesMakeTheReportOfTheirConcatenation) {
  const std::string source =
      read_bytes(fs::path(ORVEN_SOURCE_DIR) / "samples" / "guestbook.php") +
      "\n#include <windows.h>\nint WINAPI WinMain() { MessageBox(0, \"a\", \"b\", MB_OK);\n"
      "  for (int i = 0; i < 3; ++i) ShowWindow(hWnd, SW_SHOW); sprintf(buf, \"%d\", i); }\n";
  ASSERT_EQ(run(source).status, Status::ok);
  const std::string whole = read_bytes("result.html");
  std::mt19937 random(13);
  for (int round = 0; round < 24; ++round) {
    std::vector<std::size_t> cuts(1 + random() % 12);
    for (std::size_t& cut : cuts) cut = random() % (source.size() + 1);
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(source.size());
    // As files given one by one in even rounds, as a folder's files (in name order) in odd.
    const fs::path folder = "parts" + std::to_string(round);
    fs::create_directory(folder);
    std::vector<fs::path> paths;
    std::size_t from = 0;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
      paths.push_back(folder / ("p" + std::to_string(100 + i) + ".php"));
      write_bytes(paths.back(), source.substr(from, cuts[i] - from));
      from = cuts[i];
    }
    if (round % 2 == 1) paths = {folder};
    const ScanSettings settings{round % 4 < 2 ? 1u : 8u, round % 3 == 0 ? 0 : 1 + random() % 64};
    ASSERT_EQ(run_paths(paths, settings).status, Status::ok);
    EXPECT_EQ(read_bytes("result.html"), whole) << "round " << round;
  }
}

// A folder's files in byte order of their paths below it ("a-b" < "a.php" < "a/…" < "a0",
// capitals first), the given paths in their order; a given file is taken whatever its name.
// Folders are walked to the bottom; taken are the source endings of every language the
// advice covers, in any letter case; passed over are hidden names, other endings (".txt"
// too), links to folders, the outputs of the current folder (by identity, whatever name
// leads there) and a report that an earlier run left anywhere below.
TEST_F(TrainingRun, WalkOrderAndWhatItTakes) {
  ASSERT_EQ(run("<?php echo 1;").status, Status::ok);  // a report of this program's own
  const std::string own_report = read_bytes("result.html");
  fs::create_directories("tree/all");
  for (const std::string_view ending : kSourceEndings) {
    write_bytes("tree/all/x" + std::string(ending), "x");
  }
  for (const char* file :
       {"C.PHP",           "a-b.php",    "a.php",          "a/x.php",     "a/y/z.h",
        "a0.php",          "b.php",      "c.JS",           "d.Inc",       "e.txt",
        "f.HTM",           "Makefile",   "n.php.bak",      ".hidden.php", "CMakeLists.txt",
        ".git/config.php", "readme.txt", "result.html",    "z/.h",        "z/Z.Txt",
        "z/php",           "w.phpx",     "old/result.html"}) {
    fs::create_directories(("tree" / fs::path(file)).parent_path());
    write_bytes("tree" / fs::path(file), "x");
  }
  write_bytes("tree/old/result.html", own_report);  // an earlier run's, in a subfolder
  write_bytes("readme.txt", "x");
  std::error_code no_links;  // some systems do not let everyone make links
  fs::create_directory_symlink("a", "tree/link-to-a", no_links);
  if (!no_links) fs::create_symlink("b.php", "tree/link.php", no_links);
  if (!no_links) fs::create_symlink("../result.html", "tree/report-link.html", no_links);
  auto walk = [](const std::vector<fs::path>& paths) {
    std::vector<std::string> items;
    InputWalk walk(paths);
    while (const std::optional<WalkItem> item = walk.next()) {
      items.push_back(item->path.generic_string() + (item->named ? " (given)" : ""));
    }
    return items;
  };
  std::vector<std::string> tree{"tree/C.PHP",   "tree/a-b.php", "tree/a.php",
                                "tree/a/x.php", "tree/a/y/z.h", "tree/a0.php"};
  for (std::string_view ending : kSourceEndings) {
    tree.push_back("tree/all/x" + std::string(ending));
  }
  std::sort(tree.begin() + 6, tree.end());
  for (const char* file : {"tree/b.php", "tree/c.JS", "tree/d.Inc", "tree/f.HTM", "tree/link.php",
                           "tree/old/result.html", "tree/result.html"}) {
    tree.push_back(file);
  }
  if (no_links) std::erase(tree, "tree/link.php");
  EXPECT_EQ(walk({"tree"}), tree);
  EXPECT_EQ(walk({"tree/e.txt", "tree/a", "tree/.hidden.php", "tree/a"}),
            (std::vector<std::string>{"tree/e.txt (given)", "tree/a/x.php", "tree/a/y/z.h",
                                      "tree/.hidden.php (given)", "tree/a/x.php", "tree/a/y/z.h"}));
  std::vector<std::string> here;  // without ./result.html, which is this run's output
  for (const std::string& file : tree) here.push_back("./" + file);
  EXPECT_EQ(walk({"."}), here);

  // The report of the tree leaves the old reports out, under any name (one written with
  // --output): it is that of the same files without them. A file that holds only a part of
  // a report's head, or a report's head after a byte of its own, is a source.
  write_bytes("tree/old/notes.php", own_report);
  ASSERT_EQ(run_paths({"tree"}).status, Status::ok);
  const std::string with_old = read_bytes("result.html");
  fs::remove("tree/old/result.html");
  fs::remove("tree/old/notes.php");
  ASSERT_EQ(run_paths({"tree"}).status, Status::ok);
  EXPECT_EQ(read_bytes("result.html"), with_old);
  const std::size_t head = own_report.find("<style");
  for (const std::string& almost : {own_report.substr(0, head), " " + own_report}) {
    write_bytes("tree/old/notes.php", almost + "<?php eval($x);");
    ASSERT_EQ(run_paths({"tree"}).status, Status::ok);
    EXPECT_TRUE(read_bytes("result.html") != with_old)
        << "the old report's look-alike was not read";
  }
  // So are findings written there as JSON or SARIF; without the last byte of their head, a
  // file is a source.
  for (const std::string_view findings : kFindingsHeads) {
    const std::string head(findings);
    for (const bool whole : {true, false}) {
      write_bytes("tree/old/notes.php",
                  head.substr(0, head.size() - (whole ? 0 : 1)) + "<?php eval($x);");
      ASSERT_EQ(run_paths({"tree"}).status, Status::ok);
      EXPECT_EQ(read_bytes("result.html") == with_old, whole) << head;
    }
  }
}

#ifndef _WIN32
// A random ignore pattern of one to three parts from `atoms`, now and then taken back ("!"),
// anchored ("/") or for folders only (a trailing "/").
std::string random_pattern(std::mt19937& random, std::initializer_list<const char*> atoms) {
  std::string p;
  if (random() % 5 == 0) p += "!";
  if (random() % 4 == 0) p += "/";
  const int parts = 1 + static_cast<int>(random() % 3);
  for (int i = 0; i < parts; ++i) {
    if (i > 0) p += "/";
    p += *(atoms.begin() + random() % atoms.size());
  }
  if (random() % 4 == 0) p += "/";
  return p;
}

// Ignore rules mean what git means: over random trees and random rule sets (.gitignore at
// several levels, .git/info/exclude, the user's excludes file), the walk takes exactly the
// files that neither `git check-ignore` nor an ignored folder above them leaves out.
// --exclude and .ignore use the same rules and win over them; --no-ignore looks at none.
TEST_F(TrainingRun, IgnoreRulesAreGitsOwn) {
  ASSERT_EQ(std::system("git --version >/dev/null 2>&1"), 0) << "git is not installed";
  // Neither the user's excludes file nor git's system settings have a say here.
  const fs::path home = dir_ / "home";
  fs::create_directories(home / ".config" / "git");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  ::setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  std::mt19937 random(16);
  const auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(*(from.begin() + random() % from.size()));
  };
  const auto pattern = [&] {
    return random_pattern(
        random, {"a", "b", "src", "*", "**", "?", "x*", "*.php", "*.[ch]", "[ab]*", "m?in.cpp",
                 "*.js", "b.js", "[!a]*", "**", "sr[a-z]", "\\a.php", "*.php "});
  };
  const auto rules = [&] {
    std::string text;
    for (int n = static_cast<int>(random() % 5); n > 0; --n) text += pattern() + "\n";
    return text;
  };
  for (int round = 0; round < 40; ++round) {
    const fs::path repo = dir_ / ("repo" + std::to_string(round));
    fs::create_directories(repo);
    ASSERT_EQ(std::system(("cd '" + repo.string() + "' && git init -q .").c_str()), 0);
    std::vector<std::string> files, folders;
    for (int n = 0; n < 30; ++n) {
      std::string folder;
      for (int depth = static_cast<int>(random() % 4); depth > 0; --depth) {
        folder += pick({"a", "b", "src", "x1", "build"}) + "/";
      }
      std::string file = folder + pick({"a.php", "b.js", "main.cpp", "x.h", "a.c", "b.php"});
      fs::create_directories(repo / folder);
      write_bytes(repo / file, "x");
      files.push_back(file);
      for (std::size_t at = folder.find('/'); at != std::string::npos;
           at = folder.find('/', at + 1)) {
        folders.push_back(folder.substr(0, at));
      }
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    write_bytes(repo / ".gitignore", rules());
    for (const std::string& folder : folders) {
      if (random() % 3 == 0) write_bytes(repo / folder / ".gitignore", rules());
    }
    write_bytes(repo / ".git" / "info" / "exclude", rules());
    write_bytes(home / ".config" / "git" / "ignore", rules());

    // What git leaves out; a file below a folder it leaves out is never reached.
    std::string asked;
    for (const std::string& f : folders) asked += f + "\n";
    for (const std::string& f : files) asked += f + "\n";
    write_bytes(dir_ / "asked.txt", asked);
    std::system(("cd '" + repo.string() + "' && git check-ignore --stdin <'" +
                 (dir_ / "asked.txt").string() + "' >'" + (dir_ / "ignored.txt").string() + "'")
                    .c_str());
    std::vector<std::string> ignored;
    std::istringstream lines(read_bytes(dir_ / "ignored.txt"));
    for (std::string line; std::getline(lines, line);) ignored.push_back(line);
    const auto is_ignored = [&](const std::string& path) {
      return std::find(ignored.begin(), ignored.end(), path) != ignored.end();
    };
    std::vector<std::string> expected;
    for (const std::string& file : files) {
      bool left_out = is_ignored(file);
      for (std::size_t at = file.find('/'); at != std::string::npos && !left_out;
           at = file.find('/', at + 1)) {
        left_out = is_ignored(file.substr(0, at));
      }
      if (!left_out) expected.push_back(repo.string() + "/" + file);
    }
    std::vector<std::string> walked;
    const std::vector<fs::path> paths{repo};
    InputWalk walk(paths);
    while (const std::optional<WalkItem> item = walk.next()) walked.push_back(item->path.string());
    std::sort(walked.begin(), walked.end());
    ASSERT_EQ(walked, expected) << "round " << round << "\n.gitignore:\n"
                                << read_bytes(repo / ".gitignore") << "exclude:\n"
                                << read_bytes(repo / ".git" / "info" / "exclude") << "user:\n"
                                << read_bytes(home / ".config" / "git" / "ignore");
  }

  // --exclude and .ignore over .gitignore; --no-ignore; the folders above the one given.
  const fs::path repo = dir_ / "repo0";
  write_bytes(repo / ".gitignore", "*.php\n");
  write_bytes(repo / ".git" / "info" / "exclude", "");
  write_bytes(home / ".config" / "git" / "ignore", "");
  fs::create_directories(repo / "p" / "q");
  write_bytes(repo / "p" / "q" / "k.php", "x");
  write_bytes(repo / "p" / "q" / "k.js", "x");
  const auto walk = [](const fs::path& folder, WalkOptions options) {
    std::vector<std::string> names;
    const std::vector<fs::path> paths{folder};
    InputWalk w(paths, std::move(options));
    while (const std::optional<WalkItem> item = w.next()) {
      names.push_back(item->path.filename().string());
    }
    return names;
  };
  EXPECT_EQ(walk(repo / "p" / "q", {}), std::vector<std::string>{"k.js"});
  write_bytes(repo / "p" / ".ignore", "!k.php\n");
  EXPECT_EQ(walk(repo / "p" / "q", {}), (std::vector<std::string>{"k.js", "k.php"}));
  EXPECT_EQ(walk(repo / "p", {true, {"q/k.js"}}), std::vector<std::string>{"k.php"});
  EXPECT_EQ(walk(repo / "p", {true, {"/k.js"}}), (std::vector<std::string>{"k.js", "k.php"}));
  write_bytes(repo / "p" / ".ignore", "");
  EXPECT_EQ(walk(repo / "p", {false, {}}), (std::vector<std::string>{"k.js", "k.php"}));
}

// The shell's standard output of `command`, run by /bin/sh.
std::string shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
      out.append(buffer, got);
    }
    ::pclose(pipe);
  }
  return out;
}

std::string quoted(const fs::path& path) {
  std::string out = "'";
  for (const char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// git alone has a say: no system file, a home of the test's own.
fs::path isolate_git(const fs::path& dir) {
  const fs::path home = dir / "home";
  fs::create_directories(home / ".config" / "git");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  ::setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  ::unsetenv("GIT_CONFIG_GLOBAL");
  return home;
}

bool hidden_below(const fs::path& file, const fs::path& start) {
  for (const fs::path& name : file.lexically_relative(start)) {
    if (name.string().starts_with('.') && name != "." && name != "..") return true;
  }
  return false;
}

// The files git takes below `folder`: `git ls-files --others --exclude-standard` run in the
// folder (so that the innermost repository around it answers from there), and again in each
// repository below it that git shows as a folder of its own; outside any repository, every
// file, with the repositories below it asked the same way.
void git_takes(const fs::path& folder, std::vector<std::string>& files) {
  const bool in_repository =
      shell("cd " + quoted(folder) + " && git rev-parse --is-inside-work-tree 2>/dev/null") ==
      "true\n";
  if (!in_repository) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.is_symlink()) continue;
      if (entry.is_directory()) {
        git_takes(entry.path(), files);
      } else {
        files.push_back(entry.path().lexically_normal().string());
      }
    }
    return;
  }
  const std::string listed =
      shell("cd " + quoted(folder) + " && git ls-files --others --exclude-standard -z");
  for (std::size_t from = 0; from < listed.size();) {
    const std::size_t end = listed.find('\0', from);
    const std::string name = listed.substr(from, end - from);
    from = end + 1;
    if (name.ends_with('/')) {
      git_takes(folder / name, files);  // a repository of its own
    } else {
      files.push_back((folder / name).lexically_normal().string());
    }
  }
}

// What a walk of `starts` gives (paths made absolute from `here`), sorted.
std::vector<std::string> walked(const std::vector<fs::path>& starts, const fs::path& here,
                                WalkOptions options = {}) {
  const fs::path before = fs::current_path();
  fs::current_path(here);
  std::vector<std::string> files;
  InputWalk walk(starts, std::move(options));
  while (const std::optional<WalkItem> item = walk.next()) {
    files.push_back(fs::absolute(item->path).lexically_normal().string());
  }
  fs::current_path(before);
  std::sort(files.begin(), files.end());
  return files;
}

// The same from any folder: over random trees of repositories (the top a repository or a
// folder holding some, repositories inside repositories, a worktree whose .git is a file),
// with .gitignore files at random levels (CRLF and a byte order mark at random), each
// repository's info/exclude, the user's excludes file set in one of the forms git accepts
// (a comment after the value, a section and its value on one line, a value continued on the
// next line, in an included file, relative to the repository), and core.ignorecase, a walk
// from random folders (with and without a trailing "/", "." from inside, several at once)
// takes exactly what git lists from there: `git ls-files --others --exclude-standard` in the
// folder and in every repository below it that git shows (not --cached: nothing here is
// tracked).
TEST_F(TrainingRun, IgnoreRulesAreGitsFromAnyFolder) {
  ASSERT_EQ(std::system("git --version >/dev/null 2>&1"), 0) << "git is not installed";
  const fs::path home = isolate_git(dir_);
  std::mt19937 random(25);
  const auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(*(from.begin() + random() % from.size()));
  };
  const auto pattern = [&] {
    return random_pattern(
        random,
        {"a",       "b",      "src",   "Src",          "*",   "**",   "?",     "x*", "*.php",
         "*.PHP",   "*.[ch]", "[ab]*", "[[:upper:]]*", "sub", "B.js", "[!a]*", "**", "sr[a-z]",
         "\\a.php", "build",  "*.c",   "A.C",          "d"});
  };
  const auto rules = [&] {
    const bool crlf = random() % 4 == 0;
    std::string text = random() % 5 == 0 ? "\xEF\xBB\xBF" : "";
    for (int n = static_cast<int>(random() % 4); n > 0; --n)
      text += pattern() + (crlf ? "\r\n" : "\n");
    return text;
  };
  const auto git = [](const fs::path& where, const std::string& command) {
    return std::system(("cd " + quoted(where) + " && git " + command + " >/dev/null 2>&1").c_str());
  };
  for (int round = 0; round < 12; ++round) {
    const fs::path top = dir_ / ("tree" + std::to_string(round));
    fs::create_directories(top);
    const bool holder = round % 4 == 3;  // a folder that holds repositories, not in one itself
    std::vector<fs::path> folders{top};
    std::vector<fs::path> repositories;
    if (!holder) {
      ASSERT_EQ(git(top, "init -q ."), 0);
      repositories.push_back(top);
    }
    for (int n = 0; n < 24; ++n) {
      fs::path folder = top;
      for (int depth = static_cast<int>(random() % 4); depth > 0; --depth) {
        folder /= pick({"a", "b", "src", "Src", "sub", "build", "d"});
      }
      fs::create_directories(folder);
      folders.push_back(folder);
      write_bytes(folder / pick({"a.php", "B.js", "main.cpp", "x.h", "A.C", "b.php", "a.c"}), "x");
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    // Repositories inside: a folder below the top becomes one now and then.
    for (int n = static_cast<int>(random() % 3) + (holder ? 1 : 0); n > 0; --n) {
      const fs::path& folder = folders[random() % folders.size()];
      if (folder == top || fs::exists(folder / ".git")) continue;
      ASSERT_EQ(git(folder, "init -q ."), 0);
      repositories.push_back(folder);
    }
    // A worktree of the top's repository, inside the tree.
    if (!holder && round % 3 == 0) {
      ASSERT_EQ(git(top, "-c user.email=t@t -c user.name=t commit -q --allow-empty -m t"), 0);
      const fs::path worktree = folders[random() % folders.size()] / "wt";
      ASSERT_EQ(git(top, "worktree add -q " + quoted(worktree)), 0);
      for (const char* file : {"a.php", "B.js", "main.cpp"}) write_bytes(worktree / file, "x");
      fs::create_directories(worktree / "sub");
      write_bytes(worktree / "sub" / "a.c", "x");
      write_bytes(worktree / ".gitignore", rules());
      folders.push_back(worktree);
      folders.push_back(worktree / "sub");
    }
    for (const fs::path& folder : folders) {
      if (folder == top || random() % 3 == 0) write_bytes(folder / ".gitignore", rules());
    }
    for (const fs::path& repository : repositories) {
      fs::create_directories(repository / ".git" / "info");
      write_bytes(repository / ".git" / "info" / "exclude", rules());
      if (round % 5 == 1) {
        ASSERT_EQ(git(repository, "config core.ignorecase true"), 0);
      }
    }
    // The user's excludes file, named in one of the forms git reads.
    const std::string user_rules = rules();
    fs::remove(home / ".gitconfig");
    fs::remove(home / ".config" / "git" / "ignore");
    switch (round % 6) {
      case 0:
        write_bytes(home / ".config" / "git" / "ignore", user_rules);
        break;
      case 1:
        write_bytes(home / ".gitconfig", "[core]\n\texcludesFile = ~/ex1 # the user's own\n");
        write_bytes(home / "ex1", user_rules);
        break;
      case 2:
        write_bytes(home / ".gitconfig", "[user] name = t\n[Core] excludesfile = \"~/ex 2\" ; x\n");
        write_bytes(home / "ex 2", user_rules);
        break;
      case 3:
        write_bytes(home / ".gitconfig", "[core]\r\n  excludesFile = ~/e\\\nx3\r\n");
        write_bytes(home / "ex3", user_rules);
        break;
      case 4:
        write_bytes(home / ".gitconfig", "[include]\n\tpath = more.cfg\n");
        write_bytes(home / "more.cfg", "[core]\nexcludesFile=~/ex4\n");
        write_bytes(home / "ex4", user_rules);
        break;
      case 5:
        if (!holder) {
          ASSERT_EQ(git(top, "config core.excludesFile ex5.rules"), 0);
          write_bytes(top / "ex5.rules", user_rules);
        }
        break;
    }

    // Where the walks start: the top, folders below it as they are or with a "/" after, "."
    // from inside one, and two at once.
    const fs::path& one = folders[random() % folders.size()];
    const fs::path& two = folders[random() % folders.size()];
    const std::vector<std::pair<std::vector<fs::path>, fs::path>> starts{
        {{top}, dir_},
        {{one}, dir_},
        {{one.string() + "/"}, dir_},
        {{"."}, two},
        {{two.lexically_relative(dir_), one}, dir_},
    };
    for (const auto& [paths, here] : starts) {
      std::vector<std::string> expected;
      for (const fs::path& path : paths) {
        const fs::path start = (here / path).lexically_normal();
        std::vector<std::string> files;
        git_takes(start, files);
        for (const std::string& file : files) {
          const fs::path name = fs::path(file).filename();
          if (takes_name(name.string()) && !hidden_below(file, start)) expected.push_back(file);
        }
      }
      std::sort(expected.begin(), expected.end());
      std::string asked;
      for (const fs::path& path : paths) asked += " " + path.string();
      ASSERT_EQ(walked(paths, here), expected)
          << "round " << round << ", from " << here << ":" << asked << "\n"
          << shell("cd " + quoted(top) +
                   " && for f in $(find . -name .gitignore -o -name exclude -o -name '*.rules'); "
                   "do echo \"== $f\"; cat -A \"$f\"; done");
    }
  }
}

// A folder given that the rules of the folders above leave out gives nothing, as in git
// ("build/" leaves out all of build; "vendor/*" all that vendor holds), and the run that
// has no source then says which rule did it; a file given is always read. ignored_by tells
// the same of any one file, from whatever folder it is asked: the rule file, line and
// pattern (for --exclude, which one), or nothing when the walk would take it.
TEST_F(TrainingRun, FoldersTheRulesLeaveOutAndWhy) {
  ASSERT_EQ(std::system("git --version >/dev/null 2>&1"), 0) << "git is not installed";
  isolate_git(dir_);
  ASSERT_EQ(std::system("git init -q repo"), 0);
  for (const char* folder : {"repo/build/deep", "repo/vendor/lib", "repo/sub/d", "repo/keep"}) {
    fs::create_directories(folder);
  }
  write_bytes("repo/.gitignore", "# built\nbuild/\nvendor/*\n/sub/a.c\n/sub/d/\n");
  for (const char* file : {"repo/build/deep/x.c", "repo/vendor/v.c", "repo/vendor/lib/w.c",
                           "repo/sub/a.c", "repo/sub/b.c", "repo/sub/d/e.c", "repo/keep/k.c"}) {
    write_bytes(file, "<?php");
  }
  const fs::path rules = dir_ / "repo" / ".gitignore";
  const auto is = [](const std::optional<IgnoredBy>& why, const fs::path& file, std::uint64_t line,
                     const std::string& pattern) {
    return why && why->rule_file == file && why->line == line && why->pattern == pattern;
  };
  EXPECT_TRUE(is(ignored_by("repo/build/deep/x.c"), rules, 2, "build/"));
  EXPECT_TRUE(is(ignored_by(dir_ / "repo/vendor/v.c"), rules, 3, "vendor/*"));
  EXPECT_TRUE(is(ignored_by("repo/vendor/lib/w.c"), rules, 3, "vendor/*"));
  EXPECT_TRUE(is(ignored_by("repo/sub/a.c"), rules, 4, "/sub/a.c"));
  EXPECT_TRUE(is(ignored_by("repo/sub/d/e.c"), rules, 5, "/sub/d/"));
  EXPECT_FALSE(ignored_by("repo/sub/b.c"));
  EXPECT_FALSE(ignored_by("repo/build/deep/x.c", {false, {}}));
  // --exclude is relative to the repository's top when a file alone is asked about.
  EXPECT_TRUE(is(ignored_by("repo/keep/k.c", {true, {"*.h", "/keep/"}}), {}, 2, "/keep/"));
  fs::current_path("repo/sub");
  EXPECT_TRUE(is(ignored_by("a.c"), rules, 4, "/sub/a.c"));
  EXPECT_FALSE(ignored_by("b.c"));
  fs::current_path(dir_);

  for (const auto& [folder, line, pattern] :
       std::vector<std::tuple<const char*, std::uint64_t, std::string>>{
           {"repo/build", 2, "build/"},
           {"repo/build/deep/", 2, "build/"},
           {"repo/vendor", 3, "vendor/*"},
           {"repo/sub/d", 5, "/sub/d/"}}) {
    EXPECT_TRUE(walked({folder}, dir_).empty()) << folder;
    const ModeOutcome outcome = run_paths({folder});
    EXPECT_EQ(outcome.status, Status::no_sources) << folder;
    ASSERT_EQ(outcome.ignored.size(), 1u) << folder;
    EXPECT_EQ(outcome.ignored[0].folder, folder);
    EXPECT_EQ(outcome.ignored[0].rule_file, rules) << folder;
    EXPECT_EQ(outcome.ignored[0].line, line) << folder;
    EXPECT_EQ(outcome.ignored[0].pattern, pattern) << folder;
  }
  EXPECT_EQ(walked({"repo/sub"}, dir_), std::vector<std::string>{(dir_ / "repo/sub/b.c").string()});
  EXPECT_EQ(walked({"repo/build"}, dir_, {false, {}}),
            std::vector<std::string>{(dir_ / "repo/build/deep/x.c").string()});
  EXPECT_EQ(run_paths({"repo/build/deep/x.c"}).status, Status::ok);
  // A folder without sources that no rule leaves out says nothing of rules.
  fs::create_directories("repo/empty");
  EXPECT_TRUE(run_paths({"repo/empty"}).ignored.empty());
}

// One rule means what it means to git: random patterns (classes, ranges, escapes, "**" in
// every place, CRLF and trailing blanks), each in a folder's .gitignore, against random
// paths below the folder, as `git check-ignore --no-index` says (a path is left out when
// the rule matches it or a folder above it), with and without core.ignorecase. git's
// "space" class is blank, tab, LF and CR only.
TEST_F(TrainingRun, IgnorePatternsMeanWhatTheyMeanToGit) {
  ASSERT_EQ(std::system("git --version >/dev/null 2>&1"), 0) << "git is not installed";
  isolate_git(dir_);
  ASSERT_EQ(std::system("git init -q ."), 0);
  EXPECT_TRUE(wildmatch("a[[:space:]]b", "a\tb"));
  EXPECT_FALSE(wildmatch("a[[:space:]]b", "a\vb"));
  EXPECT_FALSE(wildmatch("a[[:space:]]b", "a\fb"));
  std::mt19937 random(10);
  const auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(*(from.begin() + random() % from.size()));
  };
  for (const bool casefold : {false, true}) {
    std::vector<std::pair<std::string, std::string>> asked;  // the .gitignore line, the path
    std::string queries;
    // git compares the bytes before a pattern's first wildcard on their own, so a "**" right
    // after them counts as after a "/": "a**/b" matches "ab" and "ax/y/b".
    const std::vector<std::pair<std::string, std::vector<std::string>>> fixed{
        {"a**/b", {"ax/y/b", "a/b", "ab", "axb", "x/ax/y/b"}},
        {"x/a**/b", {"x/ax/y/b", "x/ab"}},
        {"/A**", {"a/b/c", "Ab/c"}},
        {"\\A[A]", {"AA", "aa", "Aa"}},
        {"**/[B-a]", {"x/_", "x/B", "x/b", "x/A"}},
    };
    for (std::size_t i = 0; i < fixed.size(); ++i) {
      const std::string folder = "f" + std::to_string(i);
      fs::create_directories(folder);
      write_bytes(fs::path(folder) / ".gitignore", fixed[i].first + "\n");
      for (const std::string& path : fixed[i].second) {
        asked.emplace_back(fixed[i].first + "\n", path);
        queries += folder + "/" + path + '\0';
      }
    }
    for (int i = 0; i < 160; ++i) {
      std::string pattern = random() % 3 == 0 ? "/" : "";
      for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n) {
        pattern += pick({"a",     "B",           "*",           "**",          "?",
                         "/",     "**/",         "/**",         "[a-c]",       "[!a]",
                         "[^b]",  "[[:space:]]", "[[:alpha:]]", "[[:upper:]]", "[[:punct:]]",
                         "[A-Z]", "[]a]",        "[a-]",        "\\*",         "\\a",
                         "\\A",   "x",           ".c",          "[[:nope:]]",  "[a"});
      }
      if (random() % 5 == 0) pattern += "/";
      if (random() % 6 == 0) pattern += random() % 2 == 0 ? "  " : "\\ ";
      const std::string folder = "p" + std::to_string(i);
      fs::create_directories(folder);
      write_bytes(fs::path(folder) / ".gitignore", pattern + (random() % 3 == 0 ? "\r\n" : "\n"));
      for (int q = 0; q < 6; ++q) {
        std::string path;
        for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) {
          if (!path.empty()) path += "/";
          for (int k = 1 + static_cast<int>(random() % 3); k > 0; --k) {
            path += pick(
                {"a", "b", "B", "A", "x", ".c", "*", "\v", "\f", " ", "\t", "]", "-", "ab", "xa"});
          }
        }
        asked.emplace_back(read_bytes(fs::path(folder) / ".gitignore"), path);
        queries += folder + "/" + path + '\0';
      }
    }
    write_bytes("queries", queries);
    const std::string answer =
        shell(std::string("git -c core.ignorecase=") + (casefold ? "true" : "false") +
              " check-ignore --no-index -v -n -z --stdin <queries");
    // source, line, pattern, path: the source is empty for a path no rule matches.
    std::vector<std::string> fields;
    for (std::size_t from = 0; from < answer.size();) {
      const std::size_t end = answer.find('\0', from);
      fields.push_back(answer.substr(from, end - from));
      from = end + 1;
    }
    ASSERT_EQ(fields.size(), 4 * asked.size());
    for (std::size_t i = 0; i < asked.size(); ++i) {
      const auto& [line, path] = asked[i];
      const std::vector<IgnoreRule> rules = parse_ignore_rules(line);
      bool ours = false;
      for (const IgnoreRule& rule : rules) {
        // The rule matches the path, or a folder on its way.
        for (std::size_t end = path.find('/');; end = path.find('/', end + 1)) {
          const std::string below = path.substr(0, end);
          const bool folder = end != std::string::npos;
          const std::string name = below.substr(below.rfind('/') + 1);
          if ((folder || !rule.folder_only) && rule_matches(rule, below, name, casefold)) {
            ours = !rule.negated;
          }
          if (!folder || ours) break;
        }
      }
      EXPECT_EQ(ours, !fields[4 * i].empty())
          << "pattern line \"" << line << "\", path \"" << path << "\", casefold " << casefold;
    }
  }
}

// Patterns that make git's own matcher try every way to split a path stay polynomial here:
// "**/" 26 times before a name against a path 60 folders deep of long names (git: seconds
// to minutes), and stars between letters against a name of one letter repeated.
TEST_F(TrainingRun, StarPatternsStayPolynomial) {
  std::string pattern;
  for (int i = 0; i < 26; ++i) pattern += "**/";
  pattern += "x";
  std::string path;
  for (int i = 0; i < 60; ++i) path += std::string(60, 'a' + i % 26) + "/";
  std::string stars;
  for (int i = 0; i < 40; ++i) stars += "*a";
  stars += "b";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(wildmatch(pattern, path + "y"));
  EXPECT_TRUE(wildmatch(pattern, path + "x"));
  EXPECT_FALSE(wildmatch(stars, std::string(250, 'a')));
  EXPECT_FALSE(wildmatch("**/" + stars, path + std::string(250, 'a')));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Well under 0.1 s on an idle machine; the limit leaves room for a loaded one.
  EXPECT_LT(seconds, 2.0);
}

// git's configuration as git reads it: our reader (for systems without git) gives what
// `git config --get` gives for core.excludesFile and core.ignorecase, whatever form the
// files take (comments, one-line sections, continued lines, quotes and escapes, letter case,
// subsections, CRLF and a byte order mark, includes and conditional includes, the system,
// XDG, user, repository and worktree files, GIT_CONFIG_GLOBAL, GIT_CONFIG_COUNT); and the
// settings git itself gives the walk are the same.
TEST_F(TrainingRun, GitConfigAsGitReadsIt) {
  ASSERT_EQ(std::system("git --version >/dev/null 2>&1"), 0) << "git is not installed";
  const fs::path home = isolate_git(dir_);
  const fs::path top = dir_ / "Repo";
  ASSERT_EQ(std::system(("git init -q " + quoted(top) + " && git -C " + quoted(top) +
                         " symbolic-ref HEAD refs/heads/main")
                            .c_str()),
            0);
  const std::string local = read_bytes(top / ".git" / "config");
  const GitRepository repository{top / ".git", top / ".git", top};
  struct Case {
    std::string user;                                          // ~/.gitconfig
    std::string local;                                         // added to the repository's config
    std::vector<std::pair<std::string, std::string>> files{};  // more files, below the home
    std::vector<std::pair<const char*, std::string>> environment{};
  };
  const std::string dir = dir_.string();
  const std::vector<Case> cases{
      {"[core]\n\texcludesFile = ~/ex # the user's own\n", ""},
      {"[core] excludesFile = /one/line ; said\n", ""},
      {"[core]\n  excludesFile = ~/a\\\n  b\n", ""},
      {"[core]\n excludesFile = \"a \\\"q\\\" \\\\ \\tb\"  c\t\td  # x\n", ""},
      {"[CORE]\n ExcludesFILE = upper\n[core \"x\"]\n excludesFile = "
       "sub\n[core.y]\nexcludesfile=l\n",
       ""},
      {"\xEF\xBB\xBF[core]\r\n\texcludesFile = crlf\r\n\tignoreCase = yes\r\n", ""},
      {"[core]\n excludesFile = global\n ignorecase = on\n",
       "[core]\n excludesFile = local\n ignorecase = 0\n"},
      {"[include]\n path = inc.cfg\n", "", {{"inc.cfg", "[core]\nexcludesFile = included\n"}}},
      {"[include] path = sub/one.cfg\n",
       "",
       {{"sub/one.cfg", "[include]\n path = two.cfg\n"},
        {"sub/two.cfg", "[core] excludesfile = deep\n"}}},
      {"[includeIf \"gitdir:" + dir + "/\"]\n path = cond.cfg\n",
       "",
       {{"cond.cfg", "[core] excludesFile = by-gitdir\n"}}},
      {"[includeIf \"gitdir/i:" + dir + "/REPO/\"]\n path = cond.cfg\n",
       "",
       {{"cond.cfg", "[core] ignorecase\n"}}},
      {"[includeIf \"gitdir:" + dir + "/REPO/\"]\n path = cond.cfg\n",
       "",
       {{"cond.cfg", "[core] ignorecase\n"}}},
      {"[includeIf \"gitdir:Repo/\"]\n path = cond.cfg\n",
       "",
       {{"cond.cfg", "[core] excludesFile = anywhere\n"}}},
      {"[includeIf \"onbranch:main\"]\n path = cond.cfg\n[includeIf \"onbranch:other\"]\n path = "
       "no.cfg\n",
       "",
       {{"cond.cfg", "[core] excludesFile = on-main\n"}, {"no.cfg", "[core] excludesFile = no\n"}}},
      {"", "[core]\n ignorecase = \"\"\n"},
      {"", "[core]\n ignorecase = 2k\n"},
      {"", "[extensions]\n worktreeConfig = true\n", {}, {}},
      {"[core] excludesFile = user\n",
       "",
       {{".config/git/config", "[core] excludesFile = xdg\n ignorecase = true\n"}}},
      {"",
       "",
       {{"system.cfg", "[core] excludesFile = system\n"}},
       {{"GIT_CONFIG_SYSTEM", dir + "/home/system.cfg"}, {"GIT_CONFIG_NOSYSTEM", "0"}}},
      {"[core] excludesFile = user\n",
       "",
       {{"other.cfg", "[core] excludesFile = other\n"}},
       {{"GIT_CONFIG_GLOBAL", dir + "/home/other.cfg"}}},
      {"",
       "",
       {},
       {{"GIT_CONFIG_COUNT", "1"},
        {"GIT_CONFIG_KEY_0", "core.excludesFile"},
        {"GIT_CONFIG_VALUE_0", "from-environment"}}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    write_bytes(home / ".gitconfig", c.user);
    write_bytes(top / ".git" / "config", local + c.local);
    write_bytes(top / ".git" / "config.worktree", "[core] excludesFile = worktree\n");
    fs::remove(home / ".config" / "git" / "config");
    for (const auto& [name, text] : c.files) {
      fs::create_directories((home / name).parent_path());
      write_bytes(home / name, text);
    }
    for (const auto& [name, value] : c.environment) ::setenv(name, value.c_str(), 1);
    const std::string git = "git --git-dir=" + quoted(top / ".git") + " config --get ";
    const std::string value = shell(git + "core.excludesFile; echo \"=$?\"");
    const std::string fold = shell(git + "--type=bool core.ignorecase; echo \"=$?\"");
    const std::optional<GitConfigValue> ours = read_git_config(repository, "core.excludesFile");
    const GitIgnoreSettings settings = read_ignore_settings(repository);
    if (value.ends_with("=0\n")) {
      ASSERT_TRUE(ours.has_value()) << "case " << i;
      EXPECT_EQ(ours->value + "\n=0\n", value) << "case " << i;
    } else {
      EXPECT_EQ(value, "=1\n") << "case " << i;
      EXPECT_FALSE(ours.has_value()) << "case " << i << ": " << ours->value;
    }
    EXPECT_EQ(settings.ignore_case, fold == "true\n=0\n") << "case " << i << ": " << fold;
    const GitIgnoreSettings by_git = git_ignore_settings(repository);
    EXPECT_EQ(by_git.excludes_file, settings.excludes_file) << "case " << i;
    EXPECT_EQ(by_git.ignore_case, settings.ignore_case) << "case " << i;
    for (const auto& [name, value] : c.environment) ::unsetenv(name);
    ::setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  }
  // "~/" is the home folder, a relative name is read from the top of the work tree, and
  // without a setting the user's excludes file is git's own default.
  write_bytes(home / ".gitconfig", "[core] excludesFile = ~/mine\n");
  write_bytes(top / ".git" / "config", local);
  EXPECT_EQ(read_ignore_settings(repository).excludes_file, home / "mine");
  write_bytes(top / ".git" / "config", local + "[core] excludesFile = rel/ex\n");
  EXPECT_EQ(read_ignore_settings(repository).excludes_file, top / "rel" / "ex");
  write_bytes(home / ".gitconfig", "");
  write_bytes(top / ".git" / "config", local);
  EXPECT_EQ(read_ignore_settings(repository).excludes_file, home / ".config" / "git" / "ignore");
  EXPECT_EQ(git_ignore_settings(repository).excludes_file, home / ".config" / "git" / "ignore");
}

// .ignore files win over git's files at every level, above the folder given too, inside and
// outside a repository, as ripgrep reads them (`rg --files` is the oracle). Debian's
// ripgrep 13 forgets the anchored rules of the folders above when it starts below them, so
// the walks that start below the top keep to rules without a "/".
TEST_F(TrainingRun, DotIgnoreWinsAsRipgrepSays) {
  ASSERT_EQ(std::system("rg --version >/dev/null 2>&1"), 0) << "rg (ripgrep) is not installed";
  isolate_git(dir_);
  std::mt19937 random(8);
  const auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(*(from.begin() + random() % from.size()));
  };
  for (int round = 0; round < 16; ++round) {
    const fs::path top = dir_ / ("rg" + std::to_string(round));
    fs::create_directories(top);
    if (round % 2 == 0) {
      ASSERT_EQ(std::system(("git init -q " + quoted(top)).c_str()), 0);
    }
    const bool anchored = round % 4 < 2;  // only walks from the top then
    const auto rules = [&] {
      std::string text;
      for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) {
        text += pick({"", "", "!"});
        text += anchored ? pick({"*.php", "b.js", "sub/", "a", "/a.php", "sub/*.c", "x*", "*.c"})
                         : pick({"*.php", "b.js", "sub/", "a", "x*", "*.c", "main.*", "d/"});
        text += "\n";
      }
      return text;
    };
    std::vector<fs::path> folders{top};
    for (int n = 0; n < 20; ++n) {
      fs::path folder = top;
      for (int depth = static_cast<int>(random() % 4); depth > 0; --depth) {
        folder /= pick({"a", "sub", "d", "x1"});
      }
      fs::create_directories(folder);
      folders.push_back(folder);
      write_bytes(folder / pick({"a.php", "b.js", "main.cpp", "x.h", "a.c"}), "x");
    }
    for (const fs::path& folder : folders) {
      if (random() % 2 == 0) write_bytes(folder / ".ignore", rules());
      if (random() % 3 == 0) write_bytes(folder / ".gitignore", rules());
    }
    for (const fs::path& start : {top, folders[random() % folders.size()]}) {
      if (anchored && start != top) continue;
      std::vector<std::string> expected;
      std::istringstream listed(shell("cd " + quoted(start) + " && rg --files --no-config"));
      for (std::string line; std::getline(listed, line);) {
        if (takes_name(fs::path(line).filename().string())) {
          expected.push_back((start / line).lexically_normal().string());
        }
      }
      std::sort(expected.begin(), expected.end());
      ASSERT_EQ(walked({start}, dir_), expected)
          << "round " << round << " from " << start << "\n"
          << shell("cd " + quoted(top) +
                   " && for f in $(find . -name '.*ignore'); do echo \"== $f\"; cat \"$f\"; done");
    }
  }
}

#endif

#ifdef _WIN32
// Windows: names of devices ("con.php", "aux.h") are regular files in a folder and are read
// as such; entries with the hidden or system attribute are left out; the current folder's
// outputs are left out in any letter case; a name that is not valid UTF-16 is skipped alone.
TEST_F(TrainingRun, WindowsNamesAndAttributes) {
  const std::wstring folder = L"\\\\?\\" + (dir_ / "win").wstring();
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const auto make = [&](const std::wstring& name, DWORD attributes, const char* text) {
    const HANDLE h = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    CloseHandle(h);
    return true;
  };
  for (const wchar_t* name : {L"con.php", L"aux.h", L"com1.cpp", L"nul.js"}) {
    ASSERT_TRUE(make(name, FILE_ATTRIBUTE_NORMAL, "x"));
  }
  ASSERT_TRUE(make(L"hidden.php", FILE_ATTRIBUTE_HIDDEN, "x"));
  ASSERT_TRUE(make(L"system.php", FILE_ATTRIBUTE_SYSTEM, "x"));
  const bool odd_name = make(std::wstring(L"odd") + wchar_t(0xD800) + L".php", 0, "x");
  // A folder far below MAX_PATH.
  std::wstring deep = folder;
  for (int level = 0; level < 40; ++level) {
    deep += L"\\folder-of-a-long-name";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  ASSERT_GT(deep.size(), 900u);  // far past MAX_PATH (260)
  const HANDLE bottom = CreateFileW((deep + L"\\bottom.php").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(bottom, INVALID_HANDLE_VALUE);
  CloseHandle(bottom);
  ASSERT_EQ(run("<?php echo 1;").status, Status::ok);
  fs::rename("result.html", "RESULT.HTML");
  std::vector<std::string> items;
  const std::vector<fs::path> paths{"win", "."};
  InputWalk walk(paths);
  while (const std::optional<WalkItem> item = walk.next()) {
    const std::u8string name = item->path.generic_u8string();
    items.push_back(std::string(name.begin(), name.end()) +
                    (item->what == WalkItem::What::bad_name ? " (bad name)" : ""));
  }
  std::string bottom_path = "win";
  for (int level = 0; level < 40; ++level) bottom_path += "/folder-of-a-long-name";
  std::vector<std::string> expected{"win/aux.h", "win/com1.cpp", "win/con.php",
                                    bottom_path + "/bottom.php", "win/nul.js"};
  if (odd_name) expected.push_back("win/odd\xEF\xBF\xBD.php (bad name)");
  for (const std::string& item : std::vector<std::string>(expected)) {
    expected.push_back("./" + item);
  }
  EXPECT_EQ(items, expected);
  const ModeOutcome outcome = run_paths({"win"});
  EXPECT_EQ(outcome.status, Status::ok);
  EXPECT_EQ(outcome.skipped.size(), odd_name ? 1u : 0u);
  // By the same paths: the fixture's cleanup would meet the devices of those names.
  for (const wchar_t* name : {L"con.php", L"aux.h", L"com1.cpp", L"nul.js"}) {
    DeleteFileW((folder + L"\\" + name).c_str());
  }
  DeleteFileW((deep + L"\\bottom.php").c_str());
  for (; deep.size() > folder.size(); deep.resize(deep.rfind(L'\\'))) {
    RemoveDirectoryW(deep.c_str());
  }
}
#endif

// An output (orven-cli --output) that is one of the run's inputs refuses the run before
// anything is written, whichever way the input reaches it: named, met in a folder, through a
// link, by another spelling or another (hard) link's name; the input is left as it was. A
// report of this program's own under the output's name is no input: it is written over.
TEST_F(TrainingRun, AnOutputThatIsAnInputRefusesTheRun) {
  fs::create_directories("proj/lib");
  write_bytes("proj/a.php", "<?php echo 1;");
  write_bytes("proj/lib/b.js", "eval(x);");
  write_bytes("keep.php", "<?php mail();");
  std::error_code no_links;
  fs::create_symlink("../a.php", "proj/lib/link.php", no_links);
  fs::create_hard_link("proj/lib/b.js", "other-name.txt", no_links);
  const auto run_to = [&](const std::vector<fs::path>& paths, const fs::path& output) {
    workspace_ = create_workspace();
    WalkOptions walk;
    walk.output = output;
    return run_advisor(*workspace_, paths, ScanSettings{}, walk, output);
  };
  for (const auto& [paths, output, input] :
       std::vector<std::tuple<std::vector<fs::path>, fs::path, fs::path>>{
           {{"keep.php"}, "keep.php", "keep.php"},
           {{"./proj/../keep.php"}, "keep.php", "./proj/../keep.php"},
           {{"proj"}, "proj/a.php", "proj/a.php"},
           {{"keep.php", "proj"}, dir_ / "proj/lib/b.js", "proj/lib/b.js"},
           {{"proj/lib"}, "proj/a.php", "proj/lib/link.php"},
           {{"proj"}, "other-name.txt", "proj/lib/b.js"}}) {
    if (no_links && (output == "other-name.txt" || paths.front() == "proj/lib")) continue;
#ifdef _WIN32
    // Wine's links to files (made as Unix links) do not open as the file they lead to does.
    if (paths.front() == "proj/lib") continue;
#endif
    const std::string before = read_bytes(output);
    const ModeOutcome outcome = run_to(paths, output);
    EXPECT_EQ(outcome.status, Status::output_is_input) << output;
    EXPECT_EQ(outcome.file, input);
    EXPECT_EQ(outcome.output, output);
    EXPECT_TRUE(read_bytes(output) == before) << output << " was written";
  }
  // The run's own report, written there before, is written over; so is a file no walk takes.
  EXPECT_EQ(run_to({"proj"}, "proj/report.html").status, Status::ok);
  const std::string first = read_bytes("proj/report.html");
  EXPECT_EQ(run_to({"proj"}, "proj/report.html").status, Status::ok);
  EXPECT_EQ(read_bytes("proj/report.html"), first);
  write_bytes("proj/notes.txt", "mine");
  EXPECT_EQ(run_to({"proj"}, "proj/notes.txt").status, Status::ok);
  EXPECT_EQ(read_bytes("proj/notes.txt"), first);
}

// Folders that give no source file make no report: the run fails and names them, and
// result.html stays as it was. A file given by name, even an empty one, is a source.
TEST_F(TrainingRun, FoldersWithoutSourcesAreAFailure) {
  fs::create_directories("empty");
  fs::create_directories("notes/sub");
  write_bytes("notes/a.txt", "<?php echo 1;");
  write_bytes("notes/sub/CMakeLists.txt", "project(x)");
  write_bytes("result.html", "old");
  for (const std::vector<fs::path>& paths :
       {std::vector<fs::path>{"empty"}, std::vector<fs::path>{"empty", "notes"}}) {
    const ModeOutcome outcome = run_paths(paths);
    EXPECT_EQ(outcome.status, Status::no_sources);
    EXPECT_EQ(outcome.file, paths.front());
    EXPECT_EQ(read_bytes("result.html"), "old");
  }
  write_bytes("nothing.txt", "");
  EXPECT_EQ(run_paths({"empty", "nothing.txt"}).status, Status::ok);
}

// A file met in a folder that cannot be read (a broken link, a pipe, a socket, one without
// read permission) or a folder that cannot be listed is skipped, reported in walk order, and
// the report is the one of the rest. Pipes and sockets are told apart without being opened.
TEST_F(TrainingRun, UnreadableFilesInFoldersAreSkipped) {
  fs::create_directories("tree/sub");
  write_bytes("tree/a.php", "<?php ec");
  write_bytes("tree/sub/b.php", "ho 1; #include <x>");
  write_bytes("tree/z.cc", " class");
  ASSERT_EQ(run("<?php echo 1; #include <x> class").status, Status::ok);
  const std::string expected = read_bytes("result.html");
  std::vector<std::pair<std::string, Why>> skipped;
  std::error_code no_links;
  fs::create_symlink("nowhere.php", "tree/sub/gone.php", no_links);
  if (!no_links) skipped.emplace_back("tree/sub/gone.php", Why::unreadable);
#ifdef __linux__
  // Opens, and its first read fails (EIO), after bytes of other files in the same buffer.
  if (!no_links) fs::create_symlink("/proc/self/mem", "tree/sub/mem.php", no_links);
  if (!no_links) skipped.emplace_back("tree/sub/mem.php", Why::unreadable);
#endif
#ifndef _WIN32
  ASSERT_EQ(::mkfifo("tree/sub/pipe.php", 0600), 0);
  ASSERT_EQ(::mkfifo("tree/sub/pipe.txt", 0600), 0);  // not a source: not even named
  skipped.emplace_back("tree/sub/pipe.php", Why::not_regular);
  {
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "tree/sub/socket.js");
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    skipped.emplace_back("tree/sub/socket.js", Why::not_regular);
  }
  write_bytes("tree/locked.h", "eval(");
  fs::create_directory("tree/closed");
  write_bytes("tree/closed/c.php", "eval(");
  fs::permissions("tree/locked.h", fs::perms::none);
  fs::permissions("tree/closed", fs::perms::none);
  // Listed but not searched: what follows it in the walk is still reached.
  fs::create_directory("tree/listed");
  write_bytes("tree/listed/d.php", "eval(");
  fs::permissions("tree/listed", fs::perms::owner_read);
  if (!std::ifstream("tree/locked.h").is_open()) {  // permissions stop this user
    skipped.insert(skipped.begin(), {{"tree/closed", Why::folder_unlisted},
                                     {"tree/listed", Why::folder_unlisted},
                                     {"tree/locked.h", Why::unreadable}});
  } else {
    fs::remove_all("tree/closed");
    fs::remove("tree/locked.h");
    fs::permissions("tree/listed", fs::perms::owner_all);
    fs::remove_all("tree/listed");
  }
#endif
  // A chunk of 5 bytes gives each piece of a file a buffer; the default puts them all in one.
  for (const ScanSettings& settings :
       {ScanSettings{1, 5}, ScanSettings{8, 5}, ScanSettings{2, 0}}) {
    const ModeOutcome outcome = run_paths({"tree"}, settings);
    ASSERT_EQ(outcome.status, Status::ok);
    std::vector<std::pair<std::string, Why>> reported;
    for (const SkippedInput& s : outcome.skipped) {
      reported.emplace_back(s.file.generic_string(), s.why);
    }
    EXPECT_EQ(reported, skipped);
    EXPECT_EQ(read_bytes("result.html"), expected);
  }
#ifndef _WIN32
  std::error_code gone;  // so that the folders can be removed
  fs::permissions("tree/closed", fs::perms::owner_all, gone);
  fs::permissions("tree/listed", fs::perms::owner_all, gone);
#endif
}

// Once every keyword is found nothing more can change the report and nothing more is
// scanned; but every later input is still opened and its first byte read, so a given file
// that cannot be read still fails the run and a skipped one is still reported, however soon
// the scanners settle the report (eight threads race the reader).
TEST_F(TrainingRun, EveryKeywordFoundStillReadsTheRest) {
  std::string all;
  auto add_keywords = [&all](std::span<const texts::Rule> rules) {
    for (const texts::Rule& rule : rules) {
      for (const std::string_view keyword : rule.keywords) all.append(keyword).append("\n");
    }
  };
  add_keywords(texts::kWebRules);
  add_keywords(texts::kCppRules);
  all += "<?php </body <windows.h> #include\n";
  write_bytes("all.php", all + std::string(1 << 20, 'x'));
  write_bytes("filler.txt", std::string(4 << 20, 'x'));
  fs::create_directory("tree");
  write_bytes("tree/a.php", "x");
  std::error_code no_links;
  fs::create_symlink("nowhere.php", "tree/gone.php", no_links);
  std::size_t skipped = no_links ? 0 : 1;
#ifdef __linux__
  // Opens like a regular file, and its reads fail (EIO) at offset 0: a file that fails only
  // when it is read.
  const fs::path failing = "/proc/self/mem";
  if (!no_links) fs::create_symlink(failing, "tree/mem.php", no_links);
  if (!no_links) ++skipped;
#endif
  for (const unsigned threads : {1u, 8u}) {
    ModeOutcome outcome = run_paths({"all.php", "tree", "missing.php"}, {threads, 4096});
    EXPECT_EQ(outcome.status, Status::input_unreadable);
    EXPECT_EQ(outcome.file, "missing.php");
#ifdef __linux__
    outcome = run_paths({"all.php", "tree", failing}, {threads, 4096});
    EXPECT_EQ(outcome.status, Status::input_unreadable);
    EXPECT_EQ(outcome.file, failing);
    // Behind more bytes than are ever in flight, the report is settled before the reader
    // reaches the failing file, which is then only opened and read once: still a failure.
    outcome = run_paths({"all.php", "filler.txt", failing}, {threads, 4096});
    EXPECT_EQ(outcome.status, Status::input_unreadable) << threads;
    EXPECT_EQ(outcome.file, failing);
#endif
    outcome = run_paths({"all.php", "tree"}, {threads, 4096});
    ASSERT_EQ(outcome.status, Status::ok);
    EXPECT_EQ(outcome.skipped.size(), skipped) << threads;
    EXPECT_EQ(web_rules().size(), texts::kWebRules.size());
    EXPECT_EQ(cpp_rules().size(), texts::kCppRules.size());
  }
}

}  // namespace
}  // namespace orven::testing
