// The training pipeline on arbitrary bytes: the bytes become one source or several (cut at
// places the input chooses, given one by one or as a folder), scanned by 1 to 4 threads in
// chunks of a size the input chooses; run_advisor writes result.html, and the report on
// disk must keep its shape: the head template and header first, then at most the two
// section headings with rule blocks in list order (each rule at most once), then the
// closing chapters ending "</div></body></html>", every LF stored as CR LF. The blocks must
// also be exactly those whose keywords a plain substring search finds in the whole text
// (each file up to its first zero byte, one after another, whitespace dropped; in a folder,
// a file that begins as a report or as findings is an earlier run's output), which checks
// the streamed, threaded scan against the direct definition; so must slots 200 and 0. The
// findings (find_advice) must be those blocks, each firing keyword counted as the plain
// search counts it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/advisor.h"
#include "advisor/findings.h"
#include "advisor/input_walk.h"
#include "base/platform.h"
#include "fuzz_common.h"
#include "texts/cpp_rules.h"
#include "texts/report.h"
#include "texts/rule.h"
#include "texts/web_rules.h"

namespace {

using namespace orven;
using fuzz::fail;

constexpr std::size_t kWebAdviceCount = 28;
constexpr std::size_t kCppAdviceCount = 40;
constexpr std::size_t kReferenceBlockCount = 39;
constexpr std::string_view kReportEnd = "</div></body></html>";
constexpr std::string_view kBlockMark = "</p><div class=\"code_b1\"><p>";

std::string head_and_header;  // what every report starts with
std::string closing;          // what every report ends with: the closing chapters
std::size_t closing_blocks = 0;

std::string block_of(const texts::Rule& rule) {
  return std::string(texts::kAdviceOpener) + std::string(rule.advice) +
         std::string(texts::kExampleOpener) + std::string(rule.example) +
         std::string(texts::kBlockCloser);
}

// The block of every rule, made once: web rules first, then the C++ rules.
std::vector<std::string> blocks;
const std::string& block(const texts::Rule& rule) {
  const bool web =
      &rule >= texts::kWebRules.data() && &rule < texts::kWebRules.data() + kWebAdviceCount;
  return blocks[web ? &rule - texts::kWebRules.data()
                    : kWebAdviceCount + (&rule - texts::kCppRules.data())];
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// Every word of the source, joined without separator, built the plain way.
constexpr bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string joined_words(std::string_view source) {
  std::string text;
  text.reserve(source.size());
  for (const char c : source) {
    if (!is_space(c)) text += c;
  }
  return text;
}

std::string bare(std::string_view keyword) {
  std::string text;
  for (const char c : keyword) {
    if (c != ' ') text += c;
  }
  return text;
}

bool any_found(std::string_view text, std::span<const std::string_view> keywords) {
  for (const std::string_view k : keywords) {
    if (!k.empty() && text.find(bare(k)) != std::string_view::npos) return true;
  }
  return false;
}

bool fires(std::string_view text, const texts::Rule& rule) {
  bool has_keyword = false;
  for (const std::string_view k : rule.keywords) has_keyword = has_keyword || !k.empty();
  return !has_keyword || any_found(text, rule.keywords);
}

// Consumes the blocks of one rule list from the front of rest: each rule at most once and
// in list order. Returns how many blocks were taken.
template <std::size_t N>
std::size_t take_blocks(std::string_view& rest, const std::array<texts::Rule, N>& rules) {
  std::size_t taken = 0;
  for (const texts::Rule& rule : rules) {
    const std::string& block = ::block(rule);
    if (rest.starts_with(block)) {
      rest.remove_prefix(block.size());
      ++taken;
    }
  }
  return taken;
}

// The last word of the text, as slot 0 holds it (its end) after the scan.
std::string_view last_word(std::string_view source) {
  std::size_t end = source.size();
  while (end > 0 && is_space(source[end - 1])) --end;
  std::size_t begin = end;
  while (begin > 0 && !is_space(source[begin - 1])) --begin;
  return source.substr(begin, end - begin);
}

// Every keyword the run tests, without its blanks, and the longest one's length.
std::vector<std::string> all_keywords;
std::size_t longest_keyword = 0;

void add_keywords(std::span<const std::string_view> keywords) {
  for (const std::string_view k : keywords) {
    if (k.empty()) continue;
    all_keywords.push_back(bare(k));
    longest_keyword = std::max(longest_keyword, all_keywords.back().size());
  }
}

bool all_found(std::string_view text) {
  return std::all_of(all_keywords.begin(), all_keywords.end(),
                     [&](const std::string& k) { return text.find(k) != std::string_view::npos; });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_scratch_folder("orven-fuzz-training");
  Workspace& w = fuzz::fresh_workspace();
  begin_report(w);
  head_and_header = report(w);
  append_closing_chapters(w);
  closing = report(w).substr(head_and_header.size());
  closing_blocks = count(closing, kBlockMark);
  for (const texts::Rule& rule : texts::kWebRules) blocks.push_back(block_of(rule));
  for (const texts::Rule& rule : texts::kCppRules) blocks.push_back(block_of(rule));
  ORVEN_FUZZ_CHECK(closing_blocks == kReferenceBlockCount);
  ORVEN_FUZZ_CHECK(closing.ends_with(kReportEnd));
  add_keywords(texts::kWebGate);
  add_keywords(texts::kCppGate);
  for (const texts::Rule& rule : texts::kWebRules) add_keywords(rule.keywords);
  for (const texts::Rule& rule : texts::kCppRules) add_keywords(rule.keywords);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The settings come from the input's last bytes, the text is the rest.
  FuzzedDataProvider provider(data, size);
  ScanSettings settings;
  settings.threads = provider.ConsumeIntegralInRange<unsigned>(1, 4);
  settings.chunk_bytes = provider.ConsumeIntegralInRange<std::size_t>(0, 80);  // 0: as run
  const bool as_folder = provider.ConsumeBool();
  std::vector<std::size_t> cuts(provider.ConsumeIntegralInRange<std::size_t>(0, 5));
  for (std::size_t& cut : cuts) cut = provider.ConsumeIntegral<std::uint16_t>();
  const std::string whole = provider.ConsumeRemainingBytesAsString();
  for (std::size_t& cut : cuts) cut %= whole.size() + 1;
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(whole.size());

  // The pieces as files p0.php, p1.php … of a folder, in the order of their names.
  std::filesystem::remove_all("tree");
  std::filesystem::create_directory("tree");
  std::vector<std::filesystem::path> paths;
  std::string source;  // every file read, up to its first zero byte
  bool any_source = false;
  for (std::size_t i = 0, from = 0; i < cuts.size(); from = cuts[i++]) {
    const std::string_view piece = std::string_view(whole).substr(from, cuts[i] - from);
    paths.push_back("tree/p" + std::to_string(i) + ".php");
    fuzz::write_file(paths.back(), piece);
    if (as_folder) {  // named, an earlier run's output is read all the same
      platform::InputFile written(paths.back());
      if (is_own_output(written)) continue;
    }
    source += piece.substr(0, piece.find('\0'));
    any_source = true;
  }
  if (as_folder) paths = {"tree"};

  Workspace& w = fuzz::fresh_workspace();
  const ModeOutcome outcome = run_advisor(w, paths, settings);
  if (!any_source) {
    ORVEN_FUZZ_CHECK(outcome.status == ModeOutcome::Status::no_sources);
    return 0;
  }
  ORVEN_FUZZ_CHECK(outcome.status == ModeOutcome::Status::ok);
  ORVEN_FUZZ_CHECK(outcome.skipped.empty());
  const std::string on_disk = fuzz::read_file("result.html");

  // Every LF is stored as CR LF: taking the CR of each CR LF away gives the report text.
  std::string written;
  written.reserve(on_disk.size());
  for (std::size_t from = 0;;) {
    const std::size_t lf = on_disk.find('\n', from);
    if (lf == std::string::npos) {
      written.append(on_disk, from);
      break;
    }
    ORVEN_FUZZ_CHECK(lf > from && on_disk[lf - 1] == '\r');
    written.append(on_disk, from, lf - 1 - from).push_back('\n');
    from = lf + 1;
  }
  ORVEN_FUZZ_CHECK(written == report(w));

  // The shape: head, header, sections, closing chapters.
  std::string_view rest = written;
  ORVEN_FUZZ_CHECK(rest.starts_with(head_and_header));
  rest.remove_prefix(head_and_header.size());
  ORVEN_FUZZ_CHECK(rest.ends_with(closing));
  ORVEN_FUZZ_CHECK(rest.ends_with(kReportEnd));
  rest.remove_suffix(closing.size());
  const bool web = rest.starts_with(texts::kWebHeading);
  std::size_t web_blocks = 0;
  if (web) {
    rest.remove_prefix(texts::kWebHeading.size());
    web_blocks = take_blocks(rest, texts::kWebRules);
  }
  const bool cpp = rest.starts_with(texts::kCppHeading);
  std::size_t cpp_blocks = 0;
  if (cpp) {
    rest.remove_prefix(texts::kCppHeading.size());
    cpp_blocks = take_blocks(rest, texts::kCppRules);
  }
  if (!rest.empty()) fail("sections hold something other than rule blocks in list order", rest);
  ORVEN_FUZZ_CHECK(web_blocks <= kWebAdviceCount && cpp_blocks <= kCppAdviceCount);
  ORVEN_FUZZ_CHECK(count(written, kBlockMark) == web_blocks + cpp_blocks + closing_blocks);

  // The same decisions by plain substring search.
  const std::string text = joined_words(source);
  ORVEN_FUZZ_CHECK(web == any_found(text, texts::kWebGate), text);
  ORVEN_FUZZ_CHECK(cpp == any_found(text, texts::kCppGate), text);
  std::string expected = head_and_header;
  if (web) {
    expected += texts::kWebHeading;
    for (const texts::Rule& rule : texts::kWebRules) {
      if (fires(text, rule)) expected += block(rule);
    }
  }
  if (cpp) {
    expected += texts::kCppHeading;
    for (const texts::Rule& rule : texts::kCppRules) {
      if (fires(text, rule)) expected += block(rule);
    }
  }
  expected += closing;
  ORVEN_FUZZ_CHECK(written == expected, text);

  // Slot 0 holds the end of the last word; slot 200 the end of the text, as long as the
  // longest keyword less one byte. Once every keyword is found the scan may stop anywhere.
  if (!all_found(text)) {
    const std::string_view word = last_word(source);
    ORVEN_FUZZ_CHECK(current_word(w) ==
                     word.substr(word.size() - std::min(word.size(), kWordKept)));
    ORVEN_FUZZ_CHECK(scanned_text(w) ==
                     text.substr(text.size() - std::min(text.size(), longest_keyword - 1)));
  }

  // The findings: the report's blocks in order, each keyword counted over the whole text
  // (the workspace is the same one, so this comes after every check of its slots).
  Workspace& fw = fuzz::fresh_workspace();
  const Findings findings = find_advice(fw, paths, settings);
  ORVEN_FUZZ_CHECK(findings.outcome.status == ModeOutcome::Status::ok);
  ORVEN_FUZZ_CHECK(findings.web_gate.has_value() == web && findings.cpp_gate.has_value() == cpp);
  std::string from_findings = head_and_header;
  bool cpp_heading = false;
  if (web) from_findings += texts::kWebHeading;
  for (const Finding& finding : findings.findings) {
    if (finding.section == Section::cpp && !cpp_heading) {
      from_findings += texts::kCppHeading;
      cpp_heading = true;
    }
    from_findings += block(*finding.rule);
    if (finding.hit) {
      ORVEN_FUZZ_CHECK(finding.hit->count == count(text, bare(finding.hit->keyword)), text);
      ORVEN_FUZZ_CHECK(finding.hit->first.line >= 1 && finding.hit->first.column >= 1);
    }
  }
  if (cpp && !cpp_heading) from_findings += texts::kCppHeading;
  ORVEN_FUZZ_CHECK(from_findings + closing == written, text);
  return 0;
}
