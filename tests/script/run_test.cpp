// Whole runs on disk, each in a fresh folder that becomes the current directory: the line
// loop and its end-of-file pass, line ends, the log on disk, and the failures of a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>

#include "base/platform.h"
#include "script/script.h"
#include "workspace/workspace.h"

namespace {

namespace fs = std::filesystem;
using Status = orven::ModeOutcome::Status;

class ScriptRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() /
              ("orven_script_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(seed()));
    fs::create_directories(folder_);
    previous_ = fs::current_path();
    fs::current_path(folder_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  static void write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static std::string read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Runs a script holding bytes on a fresh workspace.
  orven::ModeOutcome run(const std::string& bytes) {
    write("script.txt", bytes);
    ws = orven::create_workspace();
    return orven::run_script(*ws, "script.txt");
  }
  std::string log() const { return read("orven_log.txt"); }
  const std::string& word() const { return orven::command_word(*ws); }

  orven::WorkspacePtr ws;

 private:
  fs::path folder_;
  fs::path previous_;
};

// The loop tests end-of-file before each pass: a final line feed gives one more, empty,
// pass (command word "-1"); without it the last line is the last pass.
TEST_F(ScriptRun, FinalLineFeedGivesAnEmptyLastPass) {
  EXPECT_EQ(run("#root::hv::get_ajax 5\n#root::hv::get_ajax 9\n").status, Status::ok);
  EXPECT_EQ(log(), "#root::hv::get_ajax = 1\r\n#root::hv::get_ajax = 0\r\n");
  EXPECT_EQ(word(), "-1");
  EXPECT_EQ(ws->args[0], 0);
  EXPECT_EQ(ws->args[9], 9);
  EXPECT_TRUE(orven::script_line(*ws).empty());

  fs::remove("orven_log.txt");
  run("#root::hv::get_ajax 5\n#root::hv::get_ajax 9");
  EXPECT_EQ(log(), "#root::hv::get_ajax = 1\r\n#root::hv::get_ajax = 0\r\n");
  EXPECT_EQ(word(), "#root::hv::get_ajax");
  EXPECT_EQ(ws->args[0], 9);
}

TEST_F(ScriptRun, EmptyScriptRunsOneEmptyLineThatCreatesTheLog) {
  EXPECT_EQ(run("").status, Status::ok);
  EXPECT_TRUE(fs::exists("orven_log.txt"));
  EXPECT_EQ(log(), "");
  EXPECT_EQ(word(), "-1");

  write("orven_log.txt", "earlier\r\n");
  run("");
  EXPECT_EQ(log(), "earlier\r\n");
}

// An empty line in the middle leaves arguments 0 to 9 behind: the failed third number of
// the next line makes oerp read argument 4 = 3 from it.
TEST_F(ScriptRun, EmptyLinesInTheMiddleRunAsEmptyLines) {
  run("#root::math::oerp 2 3 4 1\n\n#root::math::oerp 10 20 x");
  EXPECT_EQ(log(), "#root::math::oerp << 5\r\n#root::math::oerp << 197\r\n");
  fs::remove("orven_log.txt");
  run("#root::math::oerp 2 3 4 1\n#root::math::oerp 10 20 x");
  EXPECT_EQ(log(), "#root::math::oerp << 5\r\n#root::math::oerp << 199\r\n");
}

// Lines across the pieces in which the script is read.
TEST_F(ScriptRun, ManyLinesAndLongLines) {
  std::string script;
  std::string expected;
  for (int n = 0; n < 8000; ++n) {
    script += "#root::math::get_aimcost " + std::to_string(n * 37) + " 1" +
              std::string(n % 50, ' ') + "\n";
    expected += "#root::math::get_aimcost << " + std::to_string(n * 37) + "\r\n";
  }
  const std::string long_word = "#root::hv::get_" + std::string(3'000'000, 'a');
  script += long_word + " 5\n" + std::string(200'000, ' ') + "#root::hv::get_ajax 5";
  expected += long_word + " = 0\r\n#root::hv::get_ajax = 1\r\n";
  EXPECT_EQ(run(script).status, Status::ok);
  EXPECT_TRUE(log() == expected);
}

// CR LF line ends read like bare line feeds; the log stores every line end as CR LF.
TEST_F(ScriptRun, LineEndsOnDisk) {
  run("#root::math::vptya 1000\r\n#root::hv::get_needcms 20\r\n#root::math::get_ctr 7 100\r\n");
  EXPECT_EQ(log(),
            "#root::math::vptya <<  980\r\n#root::hv::get_needcms = 1\r\n"
            "#root::math::get_ctr << 7\r\n");
}

// Any bytes: a byte-order mark hides the first command, other bytes go through unchanged.
TEST_F(ScriptRun, AnyBytes) {
  run("\xEF\xBB\xBF#root::math::vptya 5\n#root::math::vptya 5\n" +
      std::string("\0\0#root::hv::get_\0\x01 5\n", 22) + "#root::hv::get_\xD0\xA2\xCF 7\n");
  EXPECT_EQ(log(), "#root::math::vptya <<  5\r\n" +
                       std::string("\0\0#root::hv::get_\0\x01 = 0\r\n", 25) +
                       "#root::hv::get_\xD0\xA2\xCF = 0\r\n");
}

// The log is appended to, line by line, and never truncated.
TEST_F(ScriptRun, LogOnlyGrows) {
  write("orven_log.txt", "kept\r\n");
  const std::string script =
      "#root::math::pkss 1500\n#root::hv::get_ajax 5\n#root::math::pbtscp 437\n";
  const std::string lines =
      "#root::math::pkss << 180\r\n#root::hv::get_ajax = 1\r\n#root::math::pbtscp << 53\r\n";
  run(script);
  EXPECT_EQ(log(), "kept\r\n" + lines);
  run(script);
  EXPECT_EQ(log(), "kept\r\n" + lines + lines);
}

// A script that is the log itself runs the lines it held at the start, and ends.
TEST_F(ScriptRun, ScriptThatIsTheLogItself) {
  write("orven_log.txt", "#root::hv::get_x = 0\n#root::math::pkss -10\n");
  ws = orven::create_workspace();
  EXPECT_EQ(orven::run_script(*ws, "orven_log.txt").status, Status::ok);
  EXPECT_EQ(log(),
            "#root::hv::get_x = 0\n#root::math::pkss -10\n"
            "#root::hv::get_x = 0\r\n#root::math::pkss << -1\r\n");
}

TEST_F(ScriptRun, EachLineIsOnDiskWhenExecuteLineReturns) {
  ws = orven::create_workspace();
  const orven::LineLog none = orven::execute_line(*ws, "not a command");
  EXPECT_FALSE(none.failed);
  EXPECT_TRUE(fs::exists("orven_log.txt"));
  EXPECT_EQ(fs::file_size("orven_log.txt"), 0u);
  orven::execute_line(*ws, "#root::math::vptga 1000");
  EXPECT_EQ(log(), "#root::math::vptga << 970\r\n");
}

TEST_F(ScriptRun, ScriptWithAWidePathName) {
  const fs::path name = fs::path(u8"сценарий №1.txt");
  write(name, "#root::math::get_cnvr 1000 10\n");
  ws = orven::create_workspace();
  EXPECT_EQ(orven::run_script(*ws, name).status, Status::ok);
  EXPECT_EQ(log(), "#root::math::get_cnvr << 100\r\n");
}

// A script that cannot be opened runs nothing and leaves the log alone.
TEST_F(ScriptRun, UnreadableScript) {
  ws = orven::create_workspace();
  orven::ModeOutcome missing = orven::run_script(*ws, "missing.txt");
  EXPECT_EQ(missing.status, Status::input_unreadable);
  EXPECT_EQ(missing.file, fs::path("missing.txt"));
  EXPECT_FALSE(fs::exists("orven_log.txt"));

  fs::create_directory("folder");
  EXPECT_EQ(orven::run_script(*ws, "folder").status, Status::input_unreadable);
  EXPECT_FALSE(fs::exists("orven_log.txt"));
  write("orven_log.txt", "kept\r\n");
  EXPECT_EQ(orven::run_script(*ws, "folder").status, Status::input_unreadable);
  EXPECT_EQ(log(), "kept\r\n");
  EXPECT_TRUE(word().empty());
}

TEST_F(ScriptRun, ScriptWithoutReadPermission) {
  write("locked.txt", "#root::hv::get_ajax 5\n");
  fs::permissions("locked.txt", fs::perms::none);
  if (std::ifstream("locked.txt").is_open()) GTEST_SKIP() << "permissions do not bind this user";
  ws = orven::create_workspace();
  EXPECT_EQ(orven::run_script(*ws, "locked.txt").status, Status::input_unreadable);
  EXPECT_FALSE(fs::exists("orven_log.txt"));
}

// A log that is no regular file (here a folder) is refused before any line runs.
TEST_F(ScriptRun, ALogThatIsNoFileIsRefusedBeforeAnyLine) {
  fs::create_directory("orven_log.txt");
  for (const char* script :
       {"#root::hv::get_ajax 5\nnothing here\n#root::math::vptya 1000\n", ""}) {
    const orven::ModeOutcome outcome = run(script);
    EXPECT_EQ(outcome.status, Status::output_unwritable);
    EXPECT_EQ(outcome.file, fs::path("orven_log.txt"));
    EXPECT_EQ(outcome.lines_lost, 0u);
    EXPECT_TRUE(word().empty()) << "no line ran";
    EXPECT_TRUE(fs::is_empty("orven_log.txt"));
  }
}

// Appenders that share one log (other runs, here threads with a file handle each) take
// turns line by line: every line is whole and each appender's lines keep their order.
TEST_F(ScriptRun, AppendersSharingALogNeverTearALine) {
  constexpr int kLines = 3000;
  const auto appender = [](char name) {
    for (int i = 0; i < kLines; ++i) {
      const std::string line = std::string(1, name) + std::to_string(i) + "\r\n";
      ASSERT_EQ(orven::platform::append_record("orven_log.txt", line),
                orven::platform::Append::written);
    }
  };
  std::thread a(appender, 'a');
  std::thread b(appender, 'b');
  a.join();
  b.join();
  std::istringstream lines(log());
  std::map<char, int> next;
  for (std::string line; std::getline(lines, line);) {
    ASSERT_TRUE(line.size() >= 3 && line.back() == '\r') << line;
    EXPECT_EQ(line.substr(1, line.size() - 2), std::to_string(next[line[0]]++)) << line;
  }
  EXPECT_EQ(next, (std::map<char, int>{{'a', kLines}, {'b', kLines}}));
}

#ifndef _WIN32
// The lock is held across the whole append: while another process holds it (here the test,
// through a descriptor of its own), an append waits, and it goes out once the lock is let
// go. Without the lock the append would be on disk long before the test looks.
TEST_F(ScriptRun, AnAppendWaitsWhileAnotherHoldsTheLogLock) {
  std::ofstream("orven_log.txt").flush();
  const int holder = ::open("orven_log.txt", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  std::atomic<bool> returned{false};
  std::thread appender([&] {
    EXPECT_EQ(orven::platform::append_record("orven_log.txt", "line\r\n"),
              orven::platform::Append::written);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(returned);
  EXPECT_EQ(log(), "");
  ::flock(holder, LOCK_UN);
  ::close(holder);
  appender.join();
  EXPECT_EQ(log(), "line\r\n");
}
#endif

}  // namespace
