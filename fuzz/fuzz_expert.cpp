// Expert mode on arbitrary bytes, three ways: the bytes as one script line (execute_line),
// as a whole script (run_script; also repeated past the 64 KiB the script is read in, when
// that stays a few lines), and as the log itself run as the script. Each pass writes
// at most one log line, in one of the three formats ("WORD <<  N" for vptya, "WORD << N"
// for the other math commands, "WORD = 0|1" for verdict words), stored with CR LF.
// The expected log is built by a plain reference: std::istringstream in the classic locale
// reads each line followed by the argument filler, the formulas are worked in long double,
// and the C library formats the values. A run on the log itself must read only what the
// log held when it began, so it appends exactly what the same script run elsewhere appends.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_common.h"
#include "script/command_set.h"
#include "script/script.h"
#include "tests/support/expert_reference.h"
#include "texts/commands.h"
#include "texts/product.h"

namespace {

using namespace orven;
namespace names = texts::commands;

// Arguments 1 to 10 as the reference reads them; they carry over from line to line.
using Arguments = std::array<double, kArgumentCount>;

long double formula(std::string_view name, const Arguments& a) {
  const long double a1 = a[0], a2 = a[1], a4 = a[3];
  if (name == names::kVptya) return a1 * static_cast<long double>(0.98);
  if (name == names::kVptga) return a1 * static_cast<long double>(0.97);
  if (name == names::kOerp) return a1 * a2 - a4;
  if (name == names::kPkss || name == names::kPbtscp) return a1 * static_cast<long double>(0.12);
  if (name == names::kPavbsm) return a1 * static_cast<long double>(0.16);
  if (name == names::kGetCtr) return a1 / a2 * 100;
  if (name == names::kGetCnvr) return a1 / a2;
  return a1 * a2;  // get_aimcost
}

// The log line (LF form) the reference expects for one script line; empty for none.
std::string reference_line(Arguments& args, std::string_view line) {
  std::istringstream in(std::string(line) + std::string(names::kArgumentFiller));
  in.imbue(std::locale::classic());
  std::string word;
  in >> word;
  for (double& a : args) {
    if (!(in >> a)) break;
  }
  if (word.find(names::kVerdictGate) != std::string::npos) {
    bool holds = false;
    for (const script::VerdictCommand& c : script::kVerdictCommands) {
      holds = holds || (word == c.name && script::in_range(c, args[0]));
    }
    return word + std::string(names::kVerdictSeparator) + (holds ? "1" : "0") + "\n";
  }
  if (word.find(names::kMathGate) == std::string::npos) return {};
  for (const script::MathCommand& c : script::kMathCommands) {
    if (word == c.name) {
      const double value = std::ceil(static_cast<double>(formula(word, args)));
      return word + std::string(c.separator) + bench::reference_number(value) + "\n";
    }
  }
  return {};
}

// The shape every log line has, whatever computed it.
bool well_formed(std::string_view line) {
  if (!line.ends_with("\r\n")) return false;
  line.remove_suffix(2);
  const auto number = [](std::string_view n) {
    if (n == "nan" || n == "inf" || n == "-inf") return true;
    if (n.starts_with('-')) n.remove_prefix(1);
    const std::size_t e = n.find("e+");
    if (e == std::string_view::npos) {  // a whole number below a million
      return !n.empty() && n.size() <= 6 && n.find_first_not_of("0123456789") == n.npos &&
             (n == "0" || n[0] != '0');
    }
    const std::string_view mantissa = n.substr(0, e);
    const std::string_view exponent = n.substr(e + 2);
    return exponent.size() == 3 && exponent.find_first_not_of("0123456789") == n.npos &&
           !mantissa.empty() && mantissa.size() <= 7 && mantissa[0] >= '1' && mantissa[0] <= '9' &&
           (mantissa.size() == 1 ||
            (mantissa[1] == '.' && mantissa.size() > 2 && mantissa.back() != '0' &&
             mantissa.find_first_not_of("0123456789", 2) == n.npos));
  };
  std::size_t at = line.find(names::kVerdictSeparator);
  if (at != std::string_view::npos) {
    const std::string_view word = line.substr(0, at);
    const std::string_view verdict = line.substr(at + names::kVerdictSeparator.size());
    if (word.find(names::kVerdictGate) != std::string_view::npos &&
        (verdict == "0" || verdict == "1"))
      return true;
  }
  for (const script::MathCommand& c : script::kMathCommands) {
    if (line.starts_with(c.name) && line.substr(c.name.size()).starts_with(c.separator)) {
      return number(line.substr(c.name.size() + c.separator.size()));
    }
  }
  return false;
}

// The log split into its lines (each with its CR LF); a line without one fails well_formed.
std::vector<std::string_view> log_lines(std::string_view log) {
  std::vector<std::string_view> lines;
  while (!log.empty()) {
    const std::size_t lf = log.find('\n');
    const std::size_t end = lf == std::string_view::npos ? log.size() : lf + 1;
    lines.push_back(log.substr(0, end));
    log.remove_prefix(end);
  }
  return lines;
}

void check_log(std::string_view log, std::size_t passes, std::string_view expected_lf) {
  const std::vector<std::string_view> lines = log_lines(log);
  ORVEN_FUZZ_CHECK(lines.size() <= passes, log);
  for (const std::string_view line : lines) ORVEN_FUZZ_CHECK(well_formed(line), line);
  ORVEN_FUZZ_CHECK(log == fuzz::lf_as_crlf(expected_lf), log);
}

const std::filesystem::path kLog{std::string(texts::kLogFile)};

// The bytes as a script (one pass per line feed, and one after the last), then, when
// also_as_log, the same bytes as the log run as its own script: that run reads only what
// the log held when it began, so it appends exactly what the first run wrote and keeps the
// bytes in front.
void run_as_script(std::string_view input, bool also_as_log) {
  std::string expected;
  Arguments args{};
  std::size_t passes = 1;
  for (std::string_view rest = input;; ++passes) {
    const std::size_t lf = rest.find('\n');
    expected += reference_line(args, rest.substr(0, lf));
    if (lf == std::string_view::npos) break;
    rest.remove_prefix(lf + 1);
  }
  std::string log;
  {
    std::filesystem::remove(kLog);
    fuzz::write_file("script", input);
    Workspace& w = fuzz::fresh_workspace();
    ORVEN_FUZZ_CHECK(run_script(w, "script").status == ModeOutcome::Status::ok);
    log = fuzz::read_file(kLog);
    check_log(log, passes, expected);
    ORVEN_FUZZ_CHECK(std::memcmp(args.data(), w.args.data(), sizeof args) == 0);
  }
  if (also_as_log) {
    fuzz::write_file(kLog, input);
    Workspace& w = fuzz::fresh_workspace();
    ORVEN_FUZZ_CHECK(run_script(w, kLog).status == ModeOutcome::Status::ok);
    ORVEN_FUZZ_CHECK(fuzz::read_file(kLog) == std::string(input) + log);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_scratch_folder("orven-fuzz-expert");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // The bytes as one line (a line feed in it is just whitespace here).
  {
    std::filesystem::remove(kLog);
    Workspace& w = fuzz::fresh_workspace();
    const LineLog result = execute_line(w, input);
    ORVEN_FUZZ_CHECK(!result.failed);
    Arguments args{};
    check_log(fuzz::read_file(kLog), 1, reference_line(args, input));
    ORVEN_FUZZ_CHECK(std::memcmp(args.data(), w.args.data(), sizeof args) == 0);
  }

  // Every pass opens the log anew, so a run costs a file opening per line: the log run as
  // its own script, which doubles that, is left to one input in four.
  run_as_script(input, size % 4 == 0);

  // The script is read in 64 KiB pieces: the same bytes repeated past that size, when that
  // makes only a few lines, put a line (or a line feed) across the edge of a piece. Only
  // for inputs whose length is a multiple of 8, since a long script costs many short ones.
  const std::size_t line_feeds =
      static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n'));
  if (!input.empty() && input.size() % 8 == 0) {
    const std::size_t copies = 65536 / input.size() + 2;
    if (line_feeds * copies <= 8) {
      std::string long_script;
      for (std::size_t k = 0; k < copies; ++k) long_script += input;
      run_as_script(long_script, true);
    }
  }
  return 0;
}
