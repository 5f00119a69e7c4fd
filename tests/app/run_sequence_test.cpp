#include "app/run_sequence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/display_text.h"
#include "base/platform.h"
#include "live_workspaces.h"
#include "temp_folder.h"
#include "texts/messages.h"

namespace orven::app {
namespace {

using orven::testing::live_workspaces;
using Status = ModeOutcome::Status;
namespace fs = std::filesystem;

// Every step the run takes, as the fakes saw it, with the state of the world at that moment.
struct Step {
  std::string what;
  int live = 0;         // workspaces alive at the time
  bool readme = false;  // readme.txt existed at the time
};

std::vector<Step>* g_steps = nullptr;
std::function<ModeOutcome(Workspace&, const fs::path&)> g_mode_body;

void record(std::string what) {
  g_steps->push_back({std::move(what), live_workspaces(), fs::exists("readme.txt")});
}

// Unless a test gives a body of its own, a fake mode leaves its output behind as the real
// one does, so that there is something to open.
void leave_output(const char* name) {
  std::ofstream(name, std::ios::app).flush();
}
ModeOutcome fake_training(Workspace& w, std::span<const fs::path> files) {
  std::string what = "training";
  for (const fs::path& file : files) what += " " + file.string();
  record(what);
  if (g_mode_body) return g_mode_body(w, files.front());
  leave_output("result.html");
  return {};
}
ModeOutcome fake_expert(Workspace& w, const fs::path& file) {
  record("expert " + file.string());
  if (g_mode_body) return g_mode_body(w, file);
  leave_output("orven_log.txt");
  return {};
}
const ModeEntries kFakeModes{&fake_training, &fake_expert};

class FakeServices : public Services {
 public:
  std::vector<fs::path> chosen;
  bool throw_in_message = false;

  std::vector<fs::path> choose_file() override {
    record("choose");
    return chosen;
  }
  void show_message(std::string_view caption, std::string_view text, MessageKind kind) override {
    record(std::string(kind == MessageKind::info ? "info " : "error ") + std::string(caption) +
           " | " + std::string(text));
    if (throw_in_message) throw std::runtime_error("the message service broke");
  }
  void open_document(const fs::path& file) override { record("open " + file.string()); }
  void show_note(std::string_view text) override { record("note " + std::string(text)); }
  bool causes = false;
  bool wants_causes() const override { return causes; }
};

class RunSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    g_steps = &steps_;
    g_mode_body = nullptr;
  }
  void TearDown() override {
    g_steps = nullptr;
    g_mode_body = nullptr;
    orven::testing::refuse_workspaces(false);
  }
  RunResult run(int index) { return perform_run(index, services_, kFakeModes); }
  std::vector<std::string> whats() const {
    std::vector<std::string> out;
    for (const Step& s : steps_) out.push_back(s.what);
    return out;
  }

  orven::testing::TempCurrentFolder folder_;
  std::vector<Step> steps_;
  FakeServices services_;
};

const std::string kTrainingDone = "info Готово! | Готово! Результат в файле «result.html».";
const std::string kExpertDone = "info Готово! | Готово! Результат в файле «orven_log.txt».";

// The order of the steps: one workspace for the whole run, file, mode, message, open, then
// the readme, then the workspace goes.
TEST_F(RunSequence, TrainingRunTakesItsStepsInOrder) {
  services_.chosen = {fs::path("/src/page.php")};
  const RunResult result = run(0);
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", "training /src/page.php", kTrainingDone,
                                               "open result.html"}));
  for (const Step& s : steps_) {
    EXPECT_EQ(s.live, 1) << s.what;
    EXPECT_FALSE(s.readme) << s.what;
  }
  EXPECT_TRUE(fs::exists("readme.txt"));
  EXPECT_EQ(live_workspaces(), 0);
  EXPECT_TRUE(result.file_chosen);
  EXPECT_EQ(result.outcome.status, Status::ok);
}

TEST_F(RunSequence, ExpertRunTakesItsStepsInOrder) {
  services_.chosen = {fs::path("script.txt")};
  run(1);
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", "expert script.txt", kExpertDone,
                                               "open orven_log.txt"}));
  EXPECT_TRUE(fs::exists("readme.txt"));
  EXPECT_EQ(live_workspaces(), 0);
}

// Any index but 0 is expert mode, the list's error value -1 included.
TEST_F(RunSequence, EveryIndexButZeroRunsExpertMode) {
  services_.chosen = {fs::path("s.txt")};
  for (const int index : {-1, 2, 1000}) {
    steps_.clear();
    run(index);
    ASSERT_EQ(steps_.size(), 4u) << index;
    EXPECT_EQ(steps_[1].what, "expert s.txt") << index;
    EXPECT_EQ(steps_[2].what, kExpertDone) << index;
  }
}

// A training run hands the mode every input chosen; the inputs it skipped become notes, in
// its order and before its message, whether it then succeeded or failed. Expert mode gets
// the one script.
TEST_F(RunSequence, SeveralInputsAndNotesOnSkippedOnes) {
  namespace msg = texts::messages;
  using Why = SkippedInput::Why;
  auto around = [](const msg::AroundName& a, const std::string& name) {
    return "note " + to_utf8(a.before) + name + to_utf8(a.after);
  };
  const std::vector<std::string> notes{around(msg::kSkippedUnreadable, "src/x.php"),
                                       around(msg::kSkippedNotRegular, "src/pipe.txt"),
                                       around(msg::kSkippedFolder, "src/closed")};
  services_.chosen = {"a.php", "src", "b.h"};
  Status status = Status::ok;
  g_mode_body = [&status](Workspace&, const fs::path&) {
    leave_output("result.html");
    ModeOutcome outcome{status, "b.h"};
    outcome.skipped = {{"src/x.php", Why::unreadable},
                       {"src/pipe.txt", Why::not_regular},
                       {"src/closed", Why::folder_unlisted}};
    return outcome;
  };
  run(0);
  EXPECT_EQ(whats(),
            (std::vector<std::string>{"choose", "training a.php src b.h", notes[0], notes[1],
                                      notes[2], kTrainingDone, "open result.html"}));
  steps_.clear();
  status = Status::input_unreadable;
  run(0);
  ASSERT_EQ(steps_.size(), 6u);
  EXPECT_EQ(steps_[4].what, notes[2]);
  EXPECT_EQ(steps_[5].what, "error Ошибка | Не удалось прочитать файл «b.h».");

  steps_.clear();
  g_mode_body = nullptr;
  services_.chosen = {"script.txt"};
  run(1);
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", "expert script.txt", kExpertDone,
                                               "open orven_log.txt"}));
}

// Paths given from outside (a drop, the window's command line) take the dialog's place: the
// first path's folder becomes the current folder, so the outputs land there, and relative
// names still reach the mode as the same files. Expert mode refuses more than one script
// before anything runs: no mode, no readme.
TEST_F(RunSequence, GivenPathsReplaceTheDialog) {
  const fs::path top = fs::current_path();
  fs::create_directories("project/src");
  const std::vector<fs::path> paths{"project/src/a.php", "project/src", "b.h"};
  // Taken in the folder the names are relative to, as the platform writes them.
  std::string expected = "training";
  for (const fs::path& path : paths) expected += " " + fs::absolute(path).string();
  perform_run_on(0, paths, services_, kFakeModes);
  EXPECT_EQ(whats(), (std::vector<std::string>{expected, kTrainingDone, "open result.html"}));
  EXPECT_EQ(fs::current_path(), top / "project/src");
  EXPECT_TRUE(fs::exists(top / "project/src/readme.txt"));
  EXPECT_TRUE(fs::exists(top / "project/src/result.html"));

  steps_.clear();
  fs::current_path(top);
  const RunResult refused =
      perform_run_on(1, {"one.txt", "two.txt", "three.txt"}, services_, kFakeModes);
  namespace msg = texts::messages;
  EXPECT_EQ(whats(),
            (std::vector<std::string>{"error Ошибка | " + to_utf8(msg::kExpertOneScript.before) +
                                      "two.txt" + to_utf8(msg::kExpertOneScript.after)}));
  EXPECT_EQ(refused.outcome.status, Status::input_unreadable);
  EXPECT_FALSE(fs::exists("readme.txt"));

  steps_.clear();
  const std::string script = fs::absolute("project/script.txt").string();
  perform_run_on(1, {"project/script.txt"}, services_, kFakeModes);
  EXPECT_EQ(whats(),
            (std::vector<std::string>{"expert " + script, kExpertDone, "open orven_log.txt"}));
  EXPECT_EQ(fs::current_path(), top / "project");
}

// Cancelling the file choice runs no mode, but the message and the readme still follow; the
// output is asked to be opened only when one is there (left by an earlier run), never when
// the name is missing or is no regular file.
TEST_F(RunSequence, CancelStillShowsAndWritesTheReadme) {
  const RunResult training = run(0);
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", kTrainingDone}));
  EXPECT_FALSE(training.file_chosen);
  EXPECT_EQ(training.outcome.status, Status::ok);
  EXPECT_TRUE(fs::exists("readme.txt"));

  steps_.clear();
  fs::remove("readme.txt");
  fs::create_directory("orven_log.txt");
  run(-1);
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", kExpertDone}));
  EXPECT_TRUE(fs::exists("readme.txt"));
  EXPECT_EQ(live_workspaces(), 0);

  steps_.clear();
  leave_output("result.html");
  run(0);
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", kTrainingDone, "open result.html"}));
}

// A mode that reports success without its output on disk (removed meanwhile, say) opens
// nothing either.
TEST_F(RunSequence, SuccessWithoutAnOutputOpensNothing) {
  services_.chosen = {fs::path("page.php")};
  g_mode_body = [](Workspace&, const fs::path&) { return ModeOutcome{}; };
  run(0);
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", "training page.php", kTrainingDone}));
}

// A failure the mode reports replaces the completion message with an error that names the
// file; nothing is opened, the readme is still written.
TEST_F(RunSequence, ReportedFailuresShowAnErrorAndOpenNothing) {
  struct Case {
    int index;
    ModeOutcome outcome;
    std::string message;
  };
  const std::vector<Case> cases{
      {0,
       {Status::input_unreadable, fs::path(u8"/нет/page.php"), 0},
       "error Ошибка | Не удалось прочитать файл «/нет/page.php»."},
      // An output is named by its full path; a name's control bytes are shown escaped.
      {0,
       {Status::output_unwritable, "result.html", 0},
       "error Ошибка | Не удалось записать файл «" + fs::absolute("result.html").string() + "»."},
      {1,
       {Status::output_unwritable, "orven_log.txt", 3},
       "error Ошибка | Не удалось дописать файл «" + fs::absolute("orven_log.txt").string() +
           "». Потеряно строк журнала: 3."},
      {0,
       {Status::input_unreadable, fs::path("x\x1b[31mRED\n\x7f.php"), 0},
       "error Ошибка | Не удалось прочитать файл «x\\x1B[31mRED\\x0A\\x7F.php»."},
      {1,
       {Status::out_of_memory, "big.txt", 0},
       "error Ошибка | Не хватило памяти для обработки файла «big.txt». Результат не записан."},
  };
  services_.chosen = {fs::path("in.txt")};
  for (const Case& c : cases) {
    steps_.clear();
    fs::remove("readme.txt");
    g_mode_body = [&c](Workspace&, const fs::path&) { return c.outcome; };
    const RunResult result = run(c.index);
    ASSERT_EQ(steps_.size(), 3u) << c.message;
    EXPECT_EQ(steps_[2].what, c.message);
    EXPECT_EQ(result.outcome.status, c.outcome.status);
    EXPECT_EQ(result.outcome.lines_lost, c.outcome.lines_lost);
    EXPECT_TRUE(fs::exists("readme.txt")) << c.message;
    EXPECT_EQ(live_workspaces(), 0);
  }
}

// orven-cli's messages end with why the file could not be read or written, as the platform
// layer met it; the windows keep their texts. A cause the system names in its own words
// comes in those words.
TEST_F(RunSequence, CausesFollowTheMessageWhereTheFrontWantsThem) {
  namespace msg = texts::messages;
  const auto with = [](std::string_view cause) {
    return to_utf8(msg::kCauseLead) + std::string(cause) + to_utf8(msg::kCauseEnd);
  };
  fs::create_directory("result.html");
  fs::create_directory("log");
  std::ofstream("log/orven_log.txt").flush();
  struct Case {
    int index;
    std::function<ModeOutcome()> fail;
    std::string cause;  // empty: none known
  };
  const std::vector<Case> cases{
      {0,
       [] {
         const fs::path missing = fs::absolute("missing.php");
         platform::InputFile in(missing);
         return input_failure(missing, in.status());
       },
       to_utf8(msg::kCauses[0])},
      {0,
       [] {
         return platform::replace_file("result.html", "x")
                    ? ModeOutcome{}
                    : ModeOutcome{Status::output_unwritable, "result.html"};
       },
       to_utf8(msg::kCauses[2])},
      {1,
       [] {
         const fs::path inside = "missing-folder/orven_log.txt";
         return platform::append_record(inside, "x\r\n") == platform::Append::written
                    ? ModeOutcome{}
                    : ModeOutcome{Status::output_unwritable, inside, 1};
       },
       to_utf8(msg::kCauses[0])},
      // A failure the platform layer did not meet has no cause to tell.
      {0,
       [] {
         return ModeOutcome{Status::input_unreadable, "never-opened.php"};
       },
       ""},
  };
  services_.chosen = {fs::path("in.txt")};
  for (const bool wanted : {false, true}) {
    services_.causes = wanted;
    for (const Case& c : cases) {
      steps_.clear();
      g_mode_body = [&c](Workspace&, const fs::path&) { return c.fail(); };
      run(c.index);
      ASSERT_EQ(steps_.size(), 3u);
      const std::string& message = steps_[2].what;
      const std::string tail = wanted && !c.cause.empty() ? with(c.cause) : to_utf8(msg::kCauseEnd);
      EXPECT_TRUE(message.ends_with(tail)) << message;
      EXPECT_EQ(message.find(to_utf8(msg::kCauseLead)) != std::string::npos,
                wanted && !c.cause.empty())
          << message;
    }
  }
}

// The workspace is released on every path: memory running out inside a mode is reported
// like the mode's own failure; any other exception passes through after the release.
TEST_F(RunSequence, MemoryRunningOutInAModeIsReported) {
  services_.chosen = {fs::path("huge.php")};
  g_mode_body = [](Workspace& w, const fs::path&) -> ModeOutcome {
    scanned_text(w) = "partial";
    throw std::bad_alloc();
  };
  const RunResult result = run(0);
  EXPECT_EQ(result.outcome.status, Status::out_of_memory);
  EXPECT_EQ(result.outcome.file, fs::path("huge.php"));
  EXPECT_EQ(whats(), (std::vector<std::string>{"choose", "training huge.php",
                                               "error Ошибка | Не хватило памяти для обработки "
                                               "файла «huge.php». Результат не записан."}));
  EXPECT_TRUE(fs::exists("readme.txt"));
  EXPECT_EQ(live_workspaces(), 0);
}

// Any other failure a mode throws is an internal error with its reason, and a text longer
// than a string can hold is memory running out, in both modes; the run ends as usual. A
// failing service is the front's own and passes through, after the release.
TEST_F(RunSequence, WhatAModeThrowsEndsTheRunAsUsual) {
  services_.chosen = {fs::path("x.php")};
  g_mode_body = [](Workspace&, const fs::path&) -> ModeOutcome {
    EXPECT_EQ(live_workspaces(), 1);
    throw std::runtime_error("mode\x1b broke");
  };
  EXPECT_EQ(run(1).outcome.status, Status::internal_error);
  EXPECT_EQ(whats().back(), "error Ошибка | Внутренняя ошибка, работа прервана: mode\\x1B broke");
  EXPECT_TRUE(fs::exists("readme.txt"));
  EXPECT_EQ(live_workspaces(), 0);

  g_mode_body = [](Workspace&, const fs::path&) -> ModeOutcome { throw std::length_error("s"); };
  for (const int mode : {0, 1}) EXPECT_EQ(run(mode).outcome.status, Status::out_of_memory);
  EXPECT_EQ(live_workspaces(), 0);

  g_mode_body = nullptr;
  services_.throw_in_message = true;
  EXPECT_THROW(run(0), std::runtime_error);
  EXPECT_EQ(live_workspaces(), 0);
}

// Without memory for a workspace the run stops at once: an error, and no later step.
TEST_F(RunSequence, NoWorkspaceMeansNoRun) {
  services_.chosen = {fs::path("x.php")};
  orven::testing::refuse_workspaces(true);
  const RunResult result = run(0);
  orven::testing::refuse_workspaces(false);
  EXPECT_EQ(whats(),
            (std::vector<std::string>{
                "error Ошибка | Не хватило памяти, чтобы начать работу. Ничего не сделано."}));
  EXPECT_EQ(result.outcome.status, Status::out_of_memory);
  EXPECT_FALSE(result.file_chosen);
  EXPECT_FALSE(fs::exists("readme.txt"));
}

// Every run gets a fresh workspace: nothing a previous run left is visible.
TEST_F(RunSequence, EveryRunStartsFromAFreshWorkspace) {
  services_.chosen = {fs::path("a.txt")};
  int runs = 0;
  g_mode_body = [&runs](Workspace& w, const fs::path&) {
    ++runs;
    EXPECT_TRUE(report(w).empty());
    EXPECT_TRUE(command_word(w).empty());
    for (const double a : w.args) EXPECT_EQ(a, 0.0);
    EXPECT_EQ(w.verdict, 0.0);
    report(w) = "<html>";
    command_word(w) = "#root::hv::get_cntwordALT";
    w.args.fill(42.0);
    w.verdict = 1.0;
    return ModeOutcome{};
  };
  run(0);
  run(1);
  run(0);
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(live_workspaces(), 0);
}

// A run started while another one waits in its message (the message has no owner window,
// so the main window can start one) has a workspace of its own.
TEST_F(RunSequence, NestedRunHasItsOwnWorkspace) {
  class NestingServices : public FakeServices {
   public:
    bool nested = false;
    void show_message(std::string_view caption, std::string_view text, MessageKind kind) override {
      FakeServices::show_message(caption, text, kind);
      if (!nested) {
        nested = true;
        perform_run(1, *this, kFakeModes);
      }
    }
  } services;
  services.chosen = {fs::path("n.txt")};
  perform_run(0, services, kFakeModes);
  ASSERT_EQ(steps_.size(), 8u);
  EXPECT_EQ(steps_[2].what, kTrainingDone);
  EXPECT_EQ(steps_[4].what, "expert n.txt");
  EXPECT_EQ(steps_[4].live, 2);
  EXPECT_EQ(steps_[6].what, "open orven_log.txt");
  EXPECT_EQ(steps_[7].what, "open result.html");
  EXPECT_EQ(steps_[7].live, 1);
  EXPECT_EQ(live_workspaces(), 0);
}

}  // namespace
}  // namespace orven::app
