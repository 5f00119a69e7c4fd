// The report text: its fixed beginning, the rule block, and writing it to "result.html".
#include "texts/report.h"

#include <filesystem>
#include <string>

#include "advisor/report.h"
#include "base/crlf.h"
#include "base/platform.h"
#include "texts/product.h"

namespace orven {

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

bool write_report(const Workspace& w, const std::filesystem::path& file) {
  return platform::replace_file(file, with_crlf(report(w)));
}

}  // namespace orven
