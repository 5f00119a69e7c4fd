#include "script/script.h"

#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

#include "base/platform.h"
#include "base/whitespace.h"
#include "script/numbers.h"
#include "texts/commands.h"
#include "texts/product.h"

namespace orven {
namespace {

namespace names = texts::commands;

// The script is read in pieces of this size, so memory follows the longest line only.
constexpr std::size_t kChunkSize = 64 * 1024;

// The line and then the argument filler, read as one stream. No token spans the two: the
// filler begins with a blank.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : rest_(line) {}

  // Moves to the next non-whitespace byte, into the filler once the line is used up;
  // false at the end of the filler.
  bool at_token() {
    for (;;) {
      std::size_t i = 0;
      while (i < rest_.size() && is_whitespace(rest_[i])) ++i;
      rest_.remove_prefix(i);
      if (!rest_.empty()) return true;
      if (in_filler_) return false;
      rest_ = names::kArgumentFiller;
      in_filler_ = true;
    }
  }

  std::string_view word() {
    std::size_t n = 0;
    while (n < rest_.size() && !is_whitespace(rest_[n])) ++n;
    const std::string_view w = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return w;
  }

  // One formatted extraction of a double; false once the stream has failed.
  bool number(double& value) {
    if (!at_token()) return false;
    const script::Extraction e = script::extract_number(rest_, value);
    rest_.remove_prefix(e.consumed);
    return !e.failed;
  }

 private:
  std::string_view rest_;
  bool in_filler_ = false;
};

ModeOutcome failure(ModeOutcome::Status status, std::filesystem::path file) {
  ModeOutcome outcome;
  outcome.status = status;
  outcome.file = std::move(file);
  return outcome;
}

}  // namespace

bool passes_gate(std::string_view command_word) {
  return command_word.find(names::kMathGate) != std::string_view::npos ||
         command_word.find(names::kVerdictGate) != std::string_view::npos;
}

void parse_line(Workspace& w, std::string_view line) {
  LineReader reader(line);
  reader.at_token();  // the filler always holds a token
  const std::string_view word = reader.word();
  for (double& argument : w.args) {
    if (!reader.number(argument)) break;
  }
  // Assigned last, so that a line held in slot 23 itself is read whole first.
  command_word(w).assign(word);
}

LineLog execute_line(Workspace& w, std::string_view line) {
  parse_line(w, line);
  std::string text;
  if (passes_gate(command_word(w))) evaluate_command(w, text);

  // The log is opened for every line, also one that logs nothing, and closed again, so
  // that each line is on disk when this returns.
  static const std::filesystem::path log(texts::kLogFile);
  LineLog result;
  if (platform::append_record(log, text) != platform::Append::written) {
    result.failed = true;
    result.line_lost = !text.empty();
  }
  return result;
}

ModeOutcome run_script(Workspace& w, const std::filesystem::path& script) {
  // A log that is a folder, device or pipe is no log: nothing runs.
  const std::filesystem::path log_name(texts::kLogFile);
  if (!platform::may_append_to(log_name)) {
    return failure(ModeOutcome::Status::output_unwritable, log_name);
  }
  // Only a regular file is a script: a device has no end and a pipe would wait for a writer.
  platform::InputFile in(script);
  if (in.status() != platform::InputFile::Status::open) return input_failure(script, in.status());

  try {
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunkSize);  // filled by reads
    std::string& line = script_line(w);
    line.clear();
    bool log_failed = false;
    std::uint64_t lines_lost = 0;
    const auto run = [&] {
      const LineLog r = execute_line(w, line);
      log_failed = log_failed || r.failed;
      lines_lost += r.line_lost ? 1 : 0;
    };

    // Every line feed ends a pass, and the bytes after the last one (perhaps none) make
    // one more: a final line feed gives an empty last pass, an empty file one empty pass.
    // A script that is the log itself would read its own new lines and never end: of it,
    // only the bytes it held when the run began are read.
    std::uint64_t left = static_cast<std::uint64_t>(-1);
    std::error_code error;
    if (std::filesystem::equivalent(script, log_name, error)) left = in.size();
    for (bool more = true; more;) {
      const std::size_t want = left < kChunkSize ? static_cast<std::size_t>(left) : kChunkSize;
      const std::size_t got = want == 0 ? 0 : in.read(chunk.get(), want);
      // A read error ends the run; the lines before it have run and stay in the log.
      if (in.status() != platform::InputFile::Status::open)
        return input_failure(script, in.status());
      left -= got;
      more = got > 0 && left > 0;
      std::string_view piece(chunk.get(), got);
      for (std::size_t lf = piece.find('\n'); lf != std::string_view::npos; lf = piece.find('\n')) {
        line.append(piece.substr(0, lf));
        run();
        line.clear();
        piece.remove_prefix(lf + 1);
      }
      line.append(piece);
    }
    run();

    if (log_failed) {
      ModeOutcome outcome = failure(ModeOutcome::Status::output_unwritable, log_name);
      outcome.lines_lost = lines_lost;
      return outcome;
    }
    return {};
  } catch (const std::bad_alloc&) {
    return failure(ModeOutcome::Status::out_of_memory, script);
  } catch (const std::length_error&) {  // a line longer than a string can hold
    return failure(ModeOutcome::Status::out_of_memory, script);
  }
}

}  // namespace orven
