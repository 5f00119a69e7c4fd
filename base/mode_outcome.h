// What a mode tells the run sequence when it returns: whether its input was read and its
// output written. A small value, so that no failure has to cross the boundary as an exception.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"

namespace orven {

// An input met in a folder that a run left out, and why; the run went on without it.
struct SkippedInput {
  enum class Why {
    unreadable,       // could not be opened or read
    not_regular,      // a device, pipe or socket
    folder_unlisted,  // a folder whose names could not be read
    bad_name,         // Windows: a name that is not valid UTF-16
  };
  std::filesystem::path file;
  Why why = Why::unreadable;
};

struct ModeOutcome {
  enum class Status {
    ok,                 // input read, output written in full
    input_unreadable,   // the chosen file could not be opened or read; outputs untouched
    output_unwritable,  // result.html / orven_log.txt could not be (fully) written
    out_of_memory,      // memory ran out; no partial output was left behind
    no_sources,         // training: the folders given hold no source file; nothing written
    internal_error,     // something the mode did not expect failed; `detail` says what
    output_is_input,    // training: `output` is the input `file`; nothing written
  };
  // no_sources: a folder given that ignore rules leave out (or every entry of it that would
  // be taken), and the rule that does: its file (empty for --exclude), line and pattern.
  struct IgnoredFolder {
    std::filesystem::path folder;
    std::filesystem::path rule_file;
    std::uint64_t line = 0;
    std::string pattern;
  };
  Status status = Status::ok;
  std::filesystem::path file;               // the file the failure concerns
  std::uint64_t lines_lost = 0;             // expert mode: log lines that did not reach the disk
  bool not_regular_file = false;            // input_unreadable: it is a folder, a device or a pipe
  std::string detail{};                     // internal_error: what failed
  std::vector<SkippedInput> skipped = {};   // training mode, in walk order; whatever the status
  std::filesystem::path output = {};        // output_is_input: the output as it was given
  std::vector<IgnoredFolder> ignored = {};  // no_sources
  // Training mode: the report's rule blocks of rules that fired through a keyword (not those
  // without keywords, which fire whenever their section runs).
  std::uint64_t keyword_advice = 0;
};

// The outcome of an input that did not open, or failed while it was read.
inline ModeOutcome input_failure(const std::filesystem::path& file,
                                 platform::InputFile::Status why) {
  return {ModeOutcome::Status::input_unreadable, file, 0,
          why == platform::InputFile::Status::not_regular};
}

// The outcome of a run whose output turned out to be one of its inputs.
inline ModeOutcome output_is_input(const std::filesystem::path& input,
                                   const std::filesystem::path& output) {
  ModeOutcome outcome{ModeOutcome::Status::output_is_input, input};
  outcome.output = output;
  return outcome;
}

}  // namespace orven
