// The scan's ordered fold: the summaries of the segments (advisor/segment_summary.h) and the
// ends of the files, each numbered by the scan's reader, come in any order and are put
// together strictly in number order, so that a keyword or a word across the edge of two
// segments or two files is found as in one text made of all the files one after another.
// The fold is single-threaded (its caller holds the scan's lock); what the scanners read of it
// without the lock are atomics (all_found, settled).
//
// Invariants:
// - The pieces that came early wait in `pending_` until every number before theirs is folded;
//   the result therefore never depends on the threads, the segment size or how files share
//   buffers. The reader never runs more than a window of numbers ahead of the fold (see
//   scan_sources.cpp), so `pending_` stays small whatever the inputs.
// - A file's segments are folded into `file_`; at its end `file_` joins `whole_` unless the
//   file failed (a dropped end), so that a file whose read fails part way never counts,
//   whatever it held before the failure.
// - Whether every keyword is found is decided at file ends only, from the files folded whole.
//   Once it is (never with places: counts and places need all of the input), the fold takes
//   nothing more.
// - With places: `settled_` marks the keywords whose count in whole_ is not zero (and every
//   rule they place has an occurrence left). whole_ holds only files folded to their end, all
//   of them before any file still being scanned, so a scanner that reads a mark (at any time,
//   without the lock) knows that keyword's first occurrence lies before the file it scans. A
//   file that is one segment and meets only such keywords, inside and over its edges, keeps
//   its counts only (WholeFile in places.h): none of its places can be asked for, so its lines
//   are not counted and its name is not kept.
// - With places, names are kept only while a place can refer to them: in file ends not folded
//   yet (pending_name_bytes, which the reader waits on as for the window), and in
//   `files_taken_` for the files whose places whole_ holds (its keywords' first occurrences
//   and its tail), pruned as it grows. Memory thus grows with neither the number of files nor
//   the depth of the tree.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "advisor/keyword_kinds.h"
#include "advisor/keyword_scan.h"
#include "advisor/languages.h"
#include "advisor/places.h"
#include "advisor/segment_summary.h"

namespace orven {

struct MarkerRules;

// A numbered piece of the scan: a segment's summary, or the end of a file.
struct ScanPiece {
  bool end = false;      // the end of a file, not a segment
  bool dropped = false;  // end: the file failed, its text is left out
  // end, with places: which file (no parsed path: one 10,000 folders deep parses into as many
  // parts)
  std::filesystem::path::string_type file;
  Language language = Language::none;  // end, matched in code: the file's language
  std::optional<Stretch> text;         // a segment's summary (none: nothing to fold)
  ChunkLines lines;                    // the segment's, or for a file's end, what closes there
};

class ScanFold {
 public:
  // Matched in code (`code`, with the kind of each keyword) files count apart for the web and
  // the C++ rules and never over the edge of two files; `places` counts and places every
  // keyword; `markers` (with places) honours the suppression markers.
  ScanFold(const KeywordSet& keywords, bool code, bool places, const MarkerRules* markers);

  // Takes the piece numbered `number`, and folds it and every one after it that is already
  // there, in number order.
  void deposit(std::uint64_t number, ScanPiece piece);

  // The numbers before it are folded.
  std::uint64_t folded() const { return folded_; }
  // The number of the last file end folded (0: none yet): every segment before it is folded.
  std::uint64_t last_end() const { return last_end_; }
  // The bytes of the names of the file ends waiting in pending_.
  std::size_t pending_name_bytes() const { return pending_name_bytes_; }
  // Every keyword is found: the result cannot change any more (never with places).
  bool all_found() const { return all_found_.load(); }
  // With places: the first occurrence of keyword `slot` (in code: of the C++ rules' after the
  // web rules', found_slot in scan.h) lies in a file folded whole. Read without the lock.
  bool settled(std::size_t slot) const { return settled_[slot].load(std::memory_order_relaxed); }

  // The files folded so far (in code: those the web rules count in).
  const Stretch& whole() const { return whole_; }
  // Matched in code: where the C++ rules count the keywords, the edges of all the text as one
  // (for slots 200 and 0), and the first file of a language of each section folded.
  const Stretch& whole_cpp() const { return whole_cpp_; }
  const Edges& edges() const { return edges_; }
  const std::array<std::optional<std::filesystem::path>, 2>& languages() const {
    return languages_;
  }
  // The files whose places count, by the index their places carry.
  std::map<std::size_t, std::filesystem::path> take_files();

 private:
  void fold_file(ScanPiece& piece);
  void close_line(const ChunkLines& lines);
  void prune_files();

  const KeywordSet& keywords_;
  const std::size_t overlap_;
  const bool code_;
  const bool places_;
  const MarkerRules* markers_;
  std::vector<KeywordKind> kinds_;  // matched in code

  std::map<std::uint64_t, ScanPiece> pending_;
  std::uint64_t folded_ = 0;
  std::uint64_t last_end_ = 0;
  std::size_t pending_name_bytes_ = 0;
  Stretch whole_;
  Stretch whole_cpp_;
  Edges edges_;
  std::array<std::optional<std::filesystem::path>, 2> languages_;
  Stretch file_;  // the file being folded, up to its segment folded last
  // With markers honoured: the segments of a line longer than a segment, whose markers the
  // reader has not read to its end yet (LineCutter in scan_reader.cpp); the segment that holds
  // its end, or the file's end, says which rules they turn off, and the line then joins file_.
  Stretch line_;
  // With places: the files folded into whole_ so far, and by index those whose places count.
  std::size_t files_folded_ = 0;
  std::map<std::size_t, std::filesystem::path::string_type> files_taken_;
  std::atomic<bool> all_found_ = false;
  std::unique_ptr<std::atomic<bool>[]> settled_;  // web rules' keywords, then in code C++'s
};

}  // namespace orven
