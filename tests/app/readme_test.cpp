#include "app/readme.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"
#include "texts/cp1251.h"
#include "texts/product.h"

namespace orven::app {
namespace {

using namespace orven::texts::literals;
namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', from)) {
    lines.push_back(text.substr(from, lf - from));
    from = lf + 1;
  }
  EXPECT_EQ(from, text.size()) << "the readme ends with a line feed";
  return lines;
}

bool starts_with(const std::string& s, std::string_view prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

std::string read_bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The framing of the notice, line by line; the free lines (e-mail, site, certificate,
// copyright, terms 1 and 6) are checked for what they must carry.
TEST(Readme, FramingLineByLine) {
  const std::vector<std::string> lines = lines_of(readme_text());
  const std::string stars(61, '*');
  ASSERT_EQ(lines.size(), 23u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2],
            "ВНИМАНИЕ!!! Документация встроена в программу. Просто запустите программу и "
            "выберете учебный режим. "_cp);
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4],
            std::string("Мнения, советы и сообщения об ошибках направляйте на адрес: "_cp) +
                std::string(texts::kContactEmail));
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], std::string("Официальный сайт: "_cp) + std::string(texts::kSiteAddress));
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], stars);
  EXPECT_EQ(lines[9], "ОРВЕН"_cp);
  EXPECT_FALSE(lines[10].empty());  // the certificate line
  EXPECT_NE(lines[11].find(texts::kCopyrightNotice), std::string::npos);
  EXPECT_EQ(lines[12], stars);
  EXPECT_EQ(lines[13], "");
  EXPECT_EQ(lines[14], "ЛИЦЕНЗИОННОЕ СОГЛАШЕНИЕ"_cp);
  EXPECT_EQ(lines[15], "");
  EXPECT_TRUE(starts_with(lines[16], "1. "));
  EXPECT_NE(lines[16].find("ОРВЕН"_cp), std::string::npos);
  for (int term = 2; term <= 5; ++term) EXPECT_EQ(lines[15 + term], "") << "term " << term;
  EXPECT_TRUE(starts_with(lines[21], "6. "));
  EXPECT_NE(lines[21].find(texts::kMaker), std::string::npos);
  EXPECT_EQ(lines[22], "");
}

void write_bytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// On disk: windows-1251 bytes, every line feed stored as CR LF, one file rewritten whole
// over a longer one that an earlier run left.
TEST(Readme, BytesOnDisk) {
  testing::TempCurrentFolder folder;
  const std::string own_start = "\r\n\r\n" + lines_of(readme_text())[2] + "\r\n";
  write_bytes("readme.txt", own_start + std::string(100000, '\x01'));
  EXPECT_EQ(write_readme(), platform::OwnFile::written);
  const std::string bytes = read_bytes("readme.txt");
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.substr(0, 4), "\r\n\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 4), "\r\n\r\n");
  // "ВНИМАНИЕ" in windows-1251.
  EXPECT_EQ(bytes.substr(4, 8), "\xC2\xCD\xC8\xCC\xC0\xCD\xC8\xC5");
  std::size_t line_feeds = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n') continue;
    ++line_feeds;
    ASSERT_GT(i, 0u);
    EXPECT_EQ(bytes[i - 1], '\r') << "bare LF at byte " << i;
  }
  EXPECT_EQ(line_feeds, 23u);
  EXPECT_EQ(bytes.size(), readme_text().size() + line_feeds);
  EXPECT_EQ(bytes.find('\x01'), std::string::npos) << "the old file was not truncated";
}

// "readme.txt" is a common name: what this program did not write is left as it is, a link
// is never followed, and a pipe is never opened for long (nothing blocks).
TEST(Readme, WhatIsNotOursIsLeftAlone) {
  testing::TempCurrentFolder folder;
  ASSERT_EQ(write_readme(), platform::OwnFile::written);
  const std::string readme = read_bytes("readme.txt");
  const std::string own_start = readme.substr(0, readme.find('\n', 4) + 1);
  for (const std::string& user_text :
       {std::string("My project\r\n"), own_start.substr(0, own_start.size() - 1) + "!\r\n",
        own_start.substr(0, 10)}) {
    write_bytes("readme.txt", user_text);
    EXPECT_EQ(write_readme(), platform::OwnFile::not_ours);
    EXPECT_EQ(read_bytes("readme.txt"), user_text);
  }
  // An empty one is what a run killed between making and filling it left: as if missing.
  write_bytes("readme.txt", "");
  EXPECT_EQ(write_readme(), platform::OwnFile::written);
  EXPECT_EQ(read_bytes("readme.txt"), readme);

  // Links where the system lets this user make them (Wine cannot).
  std::error_code no_links;
  write_bytes("a.php", "<?php echo 1;");
  write_bytes("old.txt", readme);
  for (const char* target : {"a.php", "old.txt"}) {  // even a link to a readme of ours
    fs::remove("readme.txt");
    fs::create_symlink(target, "readme.txt", no_links);
    if (no_links) break;
    EXPECT_EQ(write_readme(), platform::OwnFile::not_ours);
    EXPECT_TRUE(fs::is_symlink("readme.txt"));
  }
  EXPECT_EQ(read_bytes("a.php"), "<?php echo 1;");

  fs::remove("readme.txt");
  fs::create_directory("readme.txt");
  EXPECT_EQ(write_readme(), platform::OwnFile::not_ours);
  EXPECT_TRUE(fs::is_directory("readme.txt"));
#ifndef _WIN32
  fs::remove("readme.txt");
  ASSERT_EQ(::mkfifo("readme.txt", 0600), 0);
  EXPECT_EQ(write_readme(), platform::OwnFile::not_ours);
#endif
}

}  // namespace
}  // namespace orven::app
