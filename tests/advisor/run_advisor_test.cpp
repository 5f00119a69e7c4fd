// The training run as a whole, on disk: the report's line ends, replacing an earlier report,
// and the failures that leave result.html as it was.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "training_fixture.h"

namespace orven::testing {
namespace {

using TrainingRun = TrainingTest;
using Status = ModeOutcome::Status;

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

// A source that cannot be read is a failure that names it and leaves result.html alone.
TEST_F(TrainingRun, UnreadableSourceLeavesTheReportAlone) {
  write_bytes("result.html", "earlier report");
  std::filesystem::create_directory("folder");
  for (const char* source : {"missing.txt", "folder"}) {
    const ModeOutcome outcome = run_file(source);
    EXPECT_EQ(outcome.status, Status::input_unreadable) << source;
    EXPECT_EQ(outcome.file, source);
    EXPECT_EQ(read_bytes("result.html"), "earlier report");
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

}  // namespace
}  // namespace orven::testing
