// The report text: its fixed beginning, the rule block, and writing it to "result.html".
#include "texts/report.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "advisor/advisor.h"
#include "workspace/crlf.h"

namespace orven {

namespace {

// A name beside result.html that no other run writes at the same moment.
std::filesystem::path temporary_name() {
  std::uint64_t salt =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  try {
    salt ^= static_cast<std::uint64_t>(std::random_device{}()) << 32;
  } catch (const std::exception&) {
    // The clock alone will do.
  }
  return "result.html." + std::to_string(salt) + ".tmp";
}

}  // namespace

void begin_report(Workspace& w) {
  std::string& report = w.slots[slot::kReport];
  report.clear();
  for (const std::string_view piece : texts::kHeadTemplate) report += piece;
  report += texts::kReportHeader;
  w.slots[slot::kAdviceOpener] = texts::kAdviceOpener;
  w.slots[slot::kExampleOpener] = texts::kExampleOpener;
  w.slots[slot::kBlockCloser] = texts::kBlockCloser;
}

void append_rule_block(Workspace& w, std::string_view advice, std::string_view example) {
  const std::string& advice_opener = w.slots[slot::kAdviceOpener];
  const std::string& example_opener = w.slots[slot::kExampleOpener];
  const std::string& block_closer = w.slots[slot::kBlockCloser];
  std::string block;
  block.reserve(advice_opener.size() + advice.size() + example_opener.size() + example.size() +
                block_closer.size());
  block.append(advice_opener).append(advice).append(example_opener).append(example);
  block.append(block_closer);
  w.slots[slot::kReport] += block;
}

// The report is written beside result.html and then renamed over it, so that an earlier
// report is never left half overwritten.
bool write_report(const Workspace& w) {
  const std::string bytes = with_crlf(w.slots[slot::kReport]);
  const std::filesystem::path temporary = temporary_name();
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.close();
      written = !out.fail();
    }
  }
  std::error_code error;
  if (written) {
    std::filesystem::rename(temporary, "result.html", error);
    if (!error) return true;
  }
  std::filesystem::remove(temporary, error);
  return false;
}

}  // namespace orven
