// The scan's reader: it walks the inputs in order, opens each file and reads it into the
// scan's buffers, one file after another in a buffer until it is full, and cuts what it reads
// into numbered segments (each a stretch of one file) and numbered file ends, which the
// scan summarises and folds in that order (advisor/scan_fold.h).
//
// Invariants:
// - Listing folders and opening files happen on the reader alone (the calling thread),
//   outside the scan's lock; a file is closed as soon as its last segment is read. An input
//   "-" (ScanSettings::dash_is_stdin) is standard input, read like a named file between the
//   walks of the inputs around it.
// - Every segment and every file's end gets the next number; the numbers are the order of the
//   text the scan makes of all the files one after another.
// - Once the outlet says every keyword is found, nothing more is read: a file being read is
//   let go, and every later input is still opened and its first byte read (so one that cannot
//   be is reported however far the reader had got when it was decided), no more. No read that
//   was made is ever ignored; the stop only saves the reads not made.
// - A file whose read fails part way ends dropped, whatever it gave before the failure: it
//   fails the run (a named file) or is reported skipped (a file of a folder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "advisor/input_walk.h"
#include "advisor/languages.h"
#include "advisor/places.h"
#include "base/mode_outcome.h"
#include "base/platform.h"

namespace orven {

// A stretch of one file in a buffer. Small files share a buffer, so that a folder of them
// costs one hand-over per buffer, not one per file.
struct Segment {
  std::uint64_t number;
  std::size_t offset;
  std::size_t size;
  bool whole_file;  // the file's only segment
  // Matched in code, a file of a language: its lexer goes from one segment of the file to the
  // next in order. `ahead` bytes of the file follow the segment in its buffer for the lexer to
  // look at (kLexAhead, or fewer where the file ends); they begin its next segment too.
  Language language = Language::none;
  bool first = false;
  bool last = false;
  std::size_t ahead = 0;
  ChunkLines lines;  // with markers honoured, of a file in several segments
};

// A buffer and the segments read into it.
struct Job {
  char* buffer = nullptr;
  std::vector<Segment> segments;
};

// The end of a file read.
struct FileEnd {
  std::uint64_t number = 0;
  bool dropped = false;  // its read failed: its text is left out
  const std::filesystem::path* file = nullptr;
  Language language = Language::none;
  ChunkLines lines;  // with markers honoured, what closes at the end
};

// The scan, as its reader sees it.
class ReaderOutlet {
 public:
  // Takes the job being filled (nothing when its buffer is null; the outlet may hold it back
  // when it has no segment) and puts a free buffer in its place, for numbers from
  // `next_number` on.
  virtual void next_buffer(Job& filling, std::uint64_t next_number) = 0;
  // A file has ended; the outlet may take the job being filled first (its buffer then null).
  virtual void end_file(const FileEnd& end, Job& filling) = 0;
  // Every keyword is found: nothing more needs reading.
  virtual bool all_found() const = 0;
  // Throws what a scanner failed with, if one did.
  virtual void check() = 0;

 protected:
  ~ReaderOutlet() = default;
};

struct ReaderSettings {
  std::size_t buffer_bytes = 0;
  bool code = false;     // files of a language are lexed (their segments carry lookahead)
  bool places = false;   // a file a buffer can hold whole is not split over two (WholeFile)
  bool markers = false;  // a file's segments end after a line break (LineCutter)
  bool dash_is_stdin = false;
  std::filesystem::path stdin_name;  // "-" when empty
};

class ScanReader {
 public:
  ScanReader(std::span<const std::filesystem::path> inputs, const WalkOptions& walk,
             const ReaderSettings& settings, ReaderOutlet& outlet);

  // Reads every input, handing buffers and file ends to the outlet.
  void read_all();
  // The job being filled, if any, for the outlet to take at the end.
  Job& filling() { return filling_; }

  // A file gave its bytes (named, or a source of a folder).
  bool read_any() const { return read_any_; }
  // The run's outcome: the first named input that failed, an input that is the run's output,
  // and the files of folders skipped.
  ModeOutcome outcome();

 private:
  using Why = SkippedInput::Why;

  void read_walk();
  // Reads the file the item names, or `in` already open for it.
  void read_file(const WalkItem& item, std::unique_ptr<platform::InputFile> in = nullptr);
  void skip(const WalkItem& item, Why why, platform::InputFile::Status status);
  std::span<char> room(std::uint64_t whole = 0, std::size_t least = 0);
  void add_segment(std::size_t size, bool whole_file, const ChunkLines& lines,
                   Language language = Language::none, bool first = false, bool last = false,
                   std::size_t ahead = 0);
  void end_file(bool dropped, const std::filesystem::path& file, const ChunkLines& lines = {},
                Language language = Language::none);

  std::span<const std::filesystem::path> inputs_;
  const WalkOptions& walk_options_;
  ReaderSettings settings_;
  ReaderOutlet& outlet_;
  bool stdin_read_ = false;
  std::optional<InputWalk> walk_;

  std::uint64_t next_number_ = 0;
  Job filling_;             // the buffer being read into, not yet handed over
  std::size_t filled_ = 0;  // its bytes taken, up to where the next segment may start
  bool read_any_ = false;
  std::vector<SkippedInput> skipped_;
  struct Failure {
    std::filesystem::path path;
    platform::InputFile::Status status;
  };
  std::optional<Failure> failure_;                   // the first input given by name that failed
  std::optional<std::filesystem::path> output_met_;  // an input that is the run's output
};

}  // namespace orven
