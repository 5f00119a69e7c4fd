// Hostile inputs through the whole run, as a person at the window would meet them: files
// that are not files, files that vanish, outputs chosen as inputs, writes that fail half way,
// and names no one expects. Each test runs the real modes through the run sequence, with
// services that record what the person would see, in a fresh current folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "advisor/advisor.h"
#include "app/display_text.h"
#include "app/mode_entries.h"
#include "app/run_sequence.h"
#include "base/platform.h"
#include "script/script.h"
#include "texts/messages.h"

namespace orven::testing {
namespace {

namespace fs = std::filesystem;
namespace msg = texts::messages;
using Status = ModeOutcome::Status;

constexpr int kTraining = 0;
constexpr int kExpert = 1;

std::string read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// What the person saw: one entry per message ("error|Ошибка|text"), and what was opened.
class Recorder : public app::Services {
 public:
  std::function<std::vector<fs::path>()> choose;
  std::vector<std::string> messages;
  std::vector<std::string> notes;
  std::vector<fs::path> opened;

  std::vector<fs::path> choose_file() override { return choose(); }
  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override {
    messages.push_back(std::string(kind == MessageKind::error ? "error|" : "info|") +
                       std::string(caption) + "|" + std::string(text));
  }
  void open_document(const fs::path& file) override { opened.push_back(file); }
  void show_note(std::string_view text) override { notes.push_back("note|" + std::string(text)); }
};

std::string error_message(const msg::AroundName& around, const fs::path& file) {
  return "error|" + app::to_utf8(msg::kErrorCaption) + "|" + app::to_utf8(around.before) +
         app::path_to_utf8(file) + app::to_utf8(around.after);
}

class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    folder_ =
        fs::temp_directory_path() / ("orven-hostile-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
    fs::current_path(folder_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // One press of "Далее" with the real modes; the file comes from choose.
  ModeOutcome run(int mode, std::function<std::vector<fs::path>()> choose) {
    recorder_ = Recorder();
    recorder_.choose = std::move(choose);
    return app::perform_run(mode, recorder_, app::kModeEntries).outcome;
  }
  ModeOutcome run(int mode, const fs::path& file) {
    return run(mode, [file] { return std::vector<fs::path>{file}; });
  }

  // The folder's entries, sorted, without the ones a test made itself.
  std::vector<std::string> entries(const std::vector<std::string>& own = {}) const {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(".")) {
      const std::string name = e.path().filename().string();
      if (std::find(own.begin(), own.end(), name) == own.end()) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_, previous_;
  Recorder recorder_;
};

// A device or a pipe has no end (or blocks until a writer comes): it is refused before it
// is opened, with a message that says why, and no output is touched; so is a folder as a
// script. A link to a regular file is still a regular file. In a folder that training mode
// walks, devices and pipes are skipped with a note, and never waited on either.
TEST_F(Hostile, WhatIsNotARegularFileIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);
  fs::create_directory("folder");
  // Should a mode open the pipe after all, this unblocks it after ten seconds (and fails).
  std::atomic<bool> done = false;
  std::atomic<bool> unblocked = false;
  std::thread watchdog([&] {
    for (int tick = 0; tick < 100 && !done; ++tick)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    while (!done) {
      const int fd = ::open("pipe", O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        unblocked = true;
        ::close(fd);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  fs::create_directory("tree");
  ASSERT_EQ(::mkfifo("tree/pipe.php", 0600), 0);
  fs::create_symlink("/dev/zero", "tree/zero.hpp");
  write("tree/page.php", "<?php echo 1;");
  fs::create_symlink("/dev/urandom", "tree/urandom.h");
  fs::create_symlink("/dev/null", "tree/null.cpp");
  for (const int mode : {kTraining, kExpert}) {
    for (const fs::path& file : {fs::path("pipe"), fs::path("/dev/zero"), fs::path("/dev/urandom"),
                                 fs::path("/dev/null"), fs::path("folder")}) {
      if (mode == kTraining && file == "folder") continue;
      SCOPED_TRACE(file.string() + (mode == kTraining ? " training" : " expert"));
      const ModeOutcome outcome = run(mode, file);
      EXPECT_EQ(outcome.status, Status::input_unreadable);
      EXPECT_EQ(outcome.file, file);
      EXPECT_EQ(recorder_.messages,
                std::vector<std::string>{error_message(msg::kInputNotRegularFile, file)});
      EXPECT_TRUE(recorder_.opened.empty());
      EXPECT_EQ(entries({"pipe", "folder", "tree"}), std::vector<std::string>{"readme.txt"});
    }
  }
  // A writer waiting for a reader of the pipe in the tree is still waiting after the walk:
  // the pipe was never opened, not even to be refused.
  std::atomic<bool> writer_released = false;
  std::thread writer([&] {
    const int fd = ::open("tree/pipe.php", O_WRONLY);
    writer_released = true;
    if (fd >= 0) ::close(fd);
  });
  EXPECT_EQ(run(kTraining, "tree").status, Status::ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(writer_released) << "the walk opened the pipe";
  const int reader = ::open("tree/pipe.php", O_RDONLY | O_NONBLOCK);
  writer.join();
  ::close(reader);
  std::vector<std::string> notes;
  for (const char* name : {"tree/null.cpp", "tree/pipe.php", "tree/urandom.h", "tree/zero.hpp"}) {
    notes.push_back("note|" + app::to_utf8(msg::kSkippedNotRegular.before) + name +
                    app::to_utf8(msg::kSkippedNotRegular.after));
  }
  EXPECT_EQ(recorder_.notes, notes);
  done = true;
  watchdog.join();
  EXPECT_FALSE(unblocked) << "a mode opened the pipe and waited for a writer";

  write("real.php", "<?php echo 1;");
  fs::create_symlink("real.php", "link.php");
  EXPECT_EQ(run(kTraining, "link.php").status, Status::ok);
  EXPECT_EQ(run(kExpert, "link.php").status, Status::ok);
}

// The chooser returned a file that is gone by the time the mode reads it: an unreadable
// input, named in the message; no output appears and nothing is opened.
TEST_F(Hostile, AFileDeletedAfterItWasChosenIsReportedUnreadable) {
  for (const int mode : {kTraining, kExpert}) {
    const fs::path file = folder_ / "vanishing.txt";
    const ModeOutcome outcome = run(mode, [&] {
      write(file, "<?php #root::math::vptya 1000\n");
      fs::remove(file);
      return std::vector<fs::path>{file};
    });
    EXPECT_EQ(outcome.status, Status::input_unreadable);
    EXPECT_EQ(recorder_.messages,
              std::vector<std::string>{error_message(msg::kInputUnreadable, file)});
    EXPECT_TRUE(recorder_.opened.empty());
    EXPECT_EQ(entries(), std::vector<std::string>{"readme.txt"});
  }
}

// result.html as the source: it is read whole before the new report replaces it, so the
// new report is the report of the old one, as if it had been a file of another name.
TEST_F(Hostile, TheReportAsItsOwnSource) {
  write("page.php", "<?php echo 1; ?>\n#include <windows.h>\n");
  ASSERT_EQ(run(kTraining, "page.php").status, Status::ok);
  fs::copy_file("result.html", "copy.html");
  ASSERT_EQ(run(kTraining, "result.html").status, Status::ok);
  const std::string in_place = read("result.html");
  ASSERT_EQ(run(kTraining, "copy.html").status, Status::ok);
  EXPECT_EQ(read("result.html"), in_place);
  EXPECT_EQ(entries(),
            (std::vector<std::string>{"copy.html", "page.php", "readme.txt", "result.html"}));
}

// orven_log.txt as the script: the run reads only what the log held when it began, so it
// ends, and the log keeps its bytes and gains one line per command it held. A link to the
// log is the log too.
TEST_F(Hostile, TheLogAsItsOwnScript) {
  const std::string script = "#root::hv::get_ajax 5\n#root::math::get_ctr 100 10\n";
  const std::string first = "#root::hv::get_ajax = 1\r\n#root::math::get_ctr << 1000\r\n";
  write("orven_log.txt", script);
  ASSERT_EQ(run(kExpert, "orven_log.txt").status, Status::ok);
  ASSERT_EQ(read("orven_log.txt"), script + first);

  // Then the two commands again, and its own two lines read back: '=' and '<<' are no
  // numbers, so argument 1 is 0 and argument 2 stays 10 from the second line: get_ajax 0
  // holds, get_ctr 0 / 10 logs 0.
  fs::create_symlink("orven_log.txt", "log-link.txt");
  ASSERT_EQ(run(kExpert, "log-link.txt").status, Status::ok);
  EXPECT_EQ(read("orven_log.txt"),
            script + first + first + "#root::hv::get_ajax = 1\r\n#root::math::get_ctr << 0\r\n");
}

// Writes that fail half way, made to fail by a file size limit (the signal it raises is
// ignored, so the write reports the failure instead): result.html keeps the earlier report
// whole and no temporary file is left beside it; the log keeps its earlier lines, holds
// whole lines only, and takes new ones cleanly once there is room again.
class SizeLimit {
 public:
  explicit SizeLimit(rlim_t bytes) {
    previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~SizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previous_signal_);
  }

 private:
  rlimit previous_{};
  void (*previous_signal_)(int);
};

TEST_F(Hostile, AReportThatCannotBeWrittenLeavesTheOldOneWhole) {
  write("small.txt", "nothing to see");
  ASSERT_EQ(run(kTraining, "small.txt").status, Status::ok);
  const std::string old_report = read("result.html");
  write("big.php", "<?php class A extends B {} eval($x); ?>\n#include <windows.h>\nsprintf(a);");
  ModeOutcome outcome;
  {
    const SizeLimit limit(old_report.size() + 1000);
    WorkspacePtr w = create_workspace();
    outcome = run_advisor(*w, {{"big.php"}});
  }
  EXPECT_EQ(outcome.status, Status::output_unwritable);
  EXPECT_EQ(outcome.file, fs::path("result.html"));
  EXPECT_EQ(read("result.html"), old_report);
  EXPECT_EQ(entries(),
            (std::vector<std::string>{"big.php", "readme.txt", "result.html", "small.txt"}));
}

TEST_F(Hostile, ALogThatFillsUpKeepsEarlierLinesAndWholeLinesOnly) {
  const std::string earlier = "earlier line one\r\nearlier line two\r\n";
  write("orven_log.txt", earlier);
  write("script.txt",
        "#root::math::vptya 1000\n#root::math::vptya 2000\n#root::math::vptya 3000\n"
        "#root::math::vptya 4000\n");
  const std::string line_1 = "#root::math::vptya <<  980\r\n";
  ModeOutcome outcome;
  {
    // Room for the earlier lines, the first new line and half of the second.
    const SizeLimit limit(earlier.size() + line_1.size() + 10);
    WorkspacePtr w = create_workspace();
    outcome = run_script(*w, "script.txt");
  }
  EXPECT_EQ(outcome.status, Status::output_unwritable);
  EXPECT_EQ(outcome.lines_lost, 3u);
  EXPECT_EQ(read("orven_log.txt"), earlier + line_1);

  write("script.txt", "#root::hv::get_ajax 5");
  ASSERT_EQ(run(kExpert, "script.txt").status, Status::ok);
  EXPECT_EQ(read("orven_log.txt"), earlier + line_1 + "#root::hv::get_ajax = 1\r\n");
}

// A name with blanks, Cyrillic letters and both kinds of quotes is read like any other, and
// a message about it names it exactly.
TEST_F(Hostile, NamesWithBlanksCyrillicAndQuotes) {
  const fs::path dir = fs::path(u8"папка с пробелами");
  const fs::path file = dir / fs::path(u8"«исходник» \"двойные\" 'одинарные'.php");
  fs::create_directory(dir);
  write(file, "#root::math::vptya 1000\n<?php echo 1;");
  write("plain.php", "#root::math::vptya 1000\n<?php echo 1;");
  ASSERT_EQ(run(kTraining, "plain.php").status, Status::ok);
  const std::string plain_report = read("result.html");
  ASSERT_EQ(run(kTraining, file).status, Status::ok);
  EXPECT_EQ(read("result.html"), plain_report);
  ASSERT_EQ(run(kExpert, file).status, Status::ok);
  EXPECT_EQ(read("orven_log.txt"), "#root::math::vptya <<  980\r\n");

  const fs::path missing = dir / fs::path(u8"нет «такого» 'файла'.txt");
  EXPECT_EQ(run(kExpert, missing).status, Status::input_unreadable);
  EXPECT_EQ(recorder_.messages,
            std::vector<std::string>{error_message(msg::kInputUnreadable, missing)});
}

// What the program finds where it writes is not always its own: a link to a user's file, a
// write-protected or someone else's report, a user's readme.txt, a pipe. None is written
// through, none blocks the run; the report and the log fail the run as unwritable outputs, a
// readme that is not ours is kept with a note.
TEST_F(Hostile, OutputsThatAreNotOursAreNeverWrittenThrough) {
  const std::string user_file = "<?php echo 1;";
  write("a.php", user_file);
  fs::create_symlink("a.php", "result.html");
  fs::create_symlink("a.php", "readme.txt");
  EXPECT_EQ(run(kTraining, "a.php").status, Status::output_unwritable);
  EXPECT_EQ(read("a.php"), user_file);
  EXPECT_TRUE(fs::is_symlink("result.html"));
  EXPECT_TRUE(fs::is_symlink("readme.txt"));
  EXPECT_EQ(recorder_.notes.size(), 1u);
  fs::remove("result.html");
  fs::remove("readme.txt");

  // A readme of the user's own stays as it is, failed runs included.
  write("readme.txt", "Build with make.\n");
  EXPECT_EQ(run(kTraining, "a.php").status, Status::ok);
  EXPECT_EQ(run(kTraining, "missing.php").status, Status::input_unreadable);
  EXPECT_EQ(read("readme.txt"), "Build with make.\n");
  EXPECT_EQ(recorder_.notes,
            std::vector<std::string>{"note|" + app::to_utf8(msg::kReadmeNotOurs.before) +
                                     (folder_ / "readme.txt").string() +
                                     app::to_utf8(msg::kReadmeNotOurs.after)});

  // The report keeps its permissions; a write-protected one is not replaced.
  fs::permissions("result.html",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(run(kTraining, "a.php").status, Status::ok);
  EXPECT_EQ(fs::status("result.html").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::string report = read("result.html");
  write("b.php", "#include <windows.h>");
  fs::permissions("result.html", fs::perms::owner_read);
  EXPECT_EQ(run(kTraining, "b.php").status, Status::output_unwritable);
  EXPECT_EQ(read("result.html"), report);
  if (::geteuid() == 0) {  // someone else's report, as far as root can make one
    fs::permissions("result.html", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(::chown("result.html", 65534, 65534), 0);
    EXPECT_EQ(run(kTraining, "b.php").status, Status::output_unwritable);
    EXPECT_EQ(read("result.html"), report);
  }
  EXPECT_EQ(entries({"a.php", "b.php", "readme.txt", "result.html"}), std::vector<std::string>{});

  // Pipes as outputs: the readme is skipped, the log refused before any line runs.
  fs::remove("readme.txt");
  ASSERT_EQ(::mkfifo("readme.txt", 0600), 0);
  ASSERT_EQ(::mkfifo("orven_log.txt", 0600), 0);
  write("script.txt", "#root::hv::get_ajax 5\n");
  const ModeOutcome outcome = run(kExpert, "script.txt");
  EXPECT_EQ(outcome.status, Status::output_unwritable);
  EXPECT_EQ(outcome.lines_lost, 0u);
  EXPECT_EQ(recorder_.notes.size(), 1u);
}

// What a signal that ends the process leaves behind while the report is written is shown by
// tests/faults (every ending signal raised before each I/O call of a run, SIGKILL too):
// there the signal comes at a known point, not after a guess at how long a write takes.

// The threads of a scan follow the CPUs the process may run on (taskset, cgroups' cpusets),
// not the CPUs the machine has.
TEST(Threads, FollowTheAffinityMask) {
  cpu_set_t previous;
  ASSERT_EQ(::sched_getaffinity(0, sizeof previous, &previous), 0);
  EXPECT_EQ(platform::usable_cpus(), static_cast<unsigned>(CPU_COUNT(&previous)));
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &previous)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(platform::usable_cpus(), 1u);
  ASSERT_EQ(::sched_setaffinity(0, sizeof previous, &previous), 0);
}

}  // namespace
}  // namespace orven::testing
