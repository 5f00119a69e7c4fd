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
#include "base/crlf.h"
#include "texts/product.h"

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
  return std::string(texts::kReportFile) + "." + std::to_string(salt) + ".tmp";
}

}  // namespace

void begin_report(Workspace& w) {
  std::string& text = report(w);
  text.clear();
  for (const std::string_view piece : texts::kHeadTemplate) text += piece;
  text += texts::kReportHeader;
  advice_opener(w) = texts::kAdviceOpener;
  example_opener(w) = texts::kExampleOpener;
  block_closer(w) = texts::kBlockCloser;
}

void append_rule_block(Workspace& w, std::string_view advice, std::string_view example) {
  const std::string& before_advice = advice_opener(w);
  const std::string& before_example = example_opener(w);
  const std::string& after_example = block_closer(w);
  std::string block;
  block.reserve(before_advice.size() + advice.size() + before_example.size() + example.size() +
                after_example.size());
  block.append(before_advice).append(advice).append(before_example).append(example);
  block.append(after_example);
  report(w) += block;
}

// The report is written beside result.html and then renamed over it, so that an earlier
// report is never left half overwritten.
bool write_report(const Workspace& w) {
  const std::string bytes = with_crlf(report(w));
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
    std::filesystem::rename(temporary, std::filesystem::path(texts::kReportFile), error);
    if (!error) return true;
  }
  std::filesystem::remove(temporary, error);
  return false;
}

}  // namespace orven
