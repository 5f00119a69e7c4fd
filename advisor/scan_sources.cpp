// The scan of a training run's sources, in one shape that is easy to check:
//
//   one reader (the calling thread) walks the inputs, opens each file and reads it into
//   free buffers, one after another in a buffer until it is full, and hands the buffers out
//   in a bounded queue; N scanner threads take a buffer (a Job), walk each of its segments
//   (a stretch of one file) through the keyword automaton on its own, and give back what
//   the segment holds at its edges (a Stretch); an ordered fold puts the stretches together
//   in the order the reader numbered them, so that a keyword or a word across the edge of
//   two chunks or two files is found as in one text made of all the files one after another.
//   The scan gives back its result (scan.h, ScanResult); the run puts into the workspace
//   what the report keeps there.
//
// Invariants, all under `mutex_`:
// - Every segment and every file's end gets the next sequence number from the reader, and
//   the fold applies them strictly in that order (`pending_` holds the ones that came
//   early). A file's stretches are folded into `file_`; at its end `file_` joins `whole_`
//   unless the file failed. The report therefore never depends on the threads, the chunk
//   size or how files share buffers.
// - The buffers are the only large memory: a buffer is free, being filled by the reader
//   (`filling_`), queued, or being scanned, never two at once. The reader never runs more
//   than kWindow numbers ahead of the fold, so `pending_` stays small whatever the inputs.
// - The reader queues the buffer it fills before it waits for anything (a free buffer, room
//   in the window): the fold cannot pass that buffer's segments, so waiting with them held
//   back would wait for ever.
// - Whenever the reader finds no free buffer it scans a queued job itself, so the scan
//   finishes with no scanner thread at all (one core, or none could be started).
// - Listing folders and opening files happen on the reader alone, outside the lock; a file
//   is closed as soon as its last chunk is read. An input "-" (ScanSettings::dash_is_stdin)
//   is standard input, read like a named file between the walks of the inputs around it.
// - With places: `settled_` marks the keywords whose count in whole_ is not zero. whole_ holds
//   only files folded to their end, all of them before any file still being scanned, so a
//   scanner that reads a mark (at any time, without the lock) knows that keyword's first
//   occurrence lies before the file it scans. A file that is one segment and meets only such
//   keywords, inside and over its edges, keeps its counts only (WholeFile in places.h): none
//   of its places can be asked for, so its lines are not counted and its name is not kept.
// - With places, names are kept only while a place can refer to them: in file ends the fold
//   has not reached (at most kNamesInFlight bytes of them: the reader waits as for the
//   window), and in `files_taken_` for the files whose places whole_ holds (its keywords'
//   first occurrences and its tail), pruned as it grows. Memory thus grows with neither the
//   number of files nor the depth of the tree.
// - Whether every keyword is found is decided at file ends only, from the files folded
//   whole, so a file whose read fails part way never counts, whatever it held before the
//   failure: it fails the run (a named file) or is reported skipped (a file of a folder).
//   Once it is decided, nothing more is scanned or read: a file being read is let go, and
//   every later input is still opened and its first byte read (so one that cannot be is
//   reported however far the reader had got when it was decided), no more. No read that was
//   made is ever ignored; the stop only saves the reads not made.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "advisor/code_lexers.h"
#include "advisor/code_match.h"
#include "advisor/input_walk.h"
#include "advisor/keyword_scan.h"
#include "advisor/languages.h"
#include "advisor/places.h"
#include "advisor/rule_index.h"
#include "advisor/scan.h"
#include "advisor/suppression.h"
#include "base/platform.h"
#include "base/whitespace.h"

namespace orven {

namespace fs = std::filesystem;

namespace {

using Why = SkippedInput::Why;

// All chunk buffers together, however many cores: 64 cores get smaller chunks, not more memory.
constexpr std::size_t kBytesInFlight = std::size_t{8} << 20;
// A chunk fits a core's second-level cache (half a megabyte and more on today's processors),
// where the places' pass after the keywords' finds it: measured twice as fast as from the
// third level, while reading and scanning gain nothing from larger chunks.
constexpr std::size_t kLargestChunk = std::size_t{256} << 10;
constexpr std::size_t kSmallestChunk = std::size_t{64} << 10;
constexpr unsigned kMostThreads = kBytesInFlight / (2 * kSmallestChunk);  // two buffers each

// A chunk buffer starts on a page boundary. The kernel copies a file into memory that is not
// aligned to the cache line about three times slower (a folder of small files: 0.9 s of
// system time a GiB against 0.3), and operator new's large blocks begin 16 bytes into a page.
constexpr std::align_val_t kBufferAlignment{4096};
struct FreeBuffer {
  void operator()(char* buffer) const { ::operator delete[](buffer, kBufferAlignment); }
};
using Buffer = std::unique_ptr<char[], FreeBuffer>;
Buffer new_buffer(std::size_t size) {
  return Buffer(static_cast<char*>(::operator new[](size, kBufferAlignment)));
}

// What the scan keeps of a stretch of the scanned text: the keywords inside it, its edges
// (places.h), and its places when the run wants them.
struct Stretch {
  explicit Stretch(std::size_t keywords, bool with_places = false) : found(keywords, false) {
    if (with_places) places.emplace(keywords);
  }

  std::vector<bool> found;
  Edges edges;
  std::optional<StretchPlaces> places;
};

// Where the bytes of a stretch's head and tail lie in its chunk, for their places.
struct EdgeOffsets {
  std::vector<std::size_t> head;
  std::vector<std::size_t> tail;
};

// The first half of a stretch's summary: what it keeps at its edges (head, tail, last word),
// and with `offsets` where the head's and tail's bytes lie. With places a scanner makes this
// half for every segment of a buffer before the second (see scan_one). With `code` (the
// chunk's classes and neighbours), the CodeBytes of the bytes kept too.
Stretch edges_of(std::string_view chunk, std::size_t keywords, std::size_t overlap,
                 EdgeOffsets* offsets, const CodeView* code = nullptr) {
  Stretch s(keywords);
  Edges& e = s.edges;
  e.has_bytes = !chunk.empty();
  e.code = code != nullptr;
  if (offsets != nullptr) {
    offsets->head.reserve(overlap);
    offsets->tail.reserve(overlap);
  }
  for (std::size_t i = 0; i < chunk.size() && e.head.size() < overlap; ++i) {
    if (!is_whitespace(chunk[i])) {
      e.head += chunk[i];
      if (offsets != nullptr) offsets->head.push_back(i);
      if (code != nullptr) e.head_code += static_cast<char>(code_byte(*code, i));
    }
  }
  if (e.kept() < overlap) {
    e.tail = e.head;
    e.tail_code = e.head_code;
    if (offsets != nullptr) offsets->tail = offsets->head;
  } else {
    for (std::size_t i = chunk.size(); i > 0 && e.tail.size() < overlap; --i) {
      if (!is_whitespace(chunk[i - 1])) {
        e.tail += chunk[i - 1];
        if (offsets != nullptr) offsets->tail.push_back(i - 1);
        if (code != nullptr) e.tail_code += static_cast<char>(code_byte(*code, i - 1));
      }
    }
    std::reverse(e.tail.begin(), e.tail.end());
    std::reverse(e.tail_code.begin(), e.tail_code.end());
    if (offsets != nullptr) std::reverse(offsets->tail.begin(), offsets->tail.end());
  }
  std::size_t end = chunk.size();
  while (end > 0 && is_whitespace(chunk[end - 1])) --end;
  if (end > 0) {
    std::size_t begin = end;
    while (begin > 0 && !is_whitespace(chunk[begin - 1])) --begin;
    const std::size_t kept = std::min(end - begin, kWordKept);
    e.word.assign(chunk.substr(end - kept, kept));
    e.word_at_start = begin == 0;
    e.ends_in_word = end == chunk.size();
  }
  return s;
}

// The second half: the keywords the stretch holds, or with `offsets` their counts and places
// (`whole` for a chunk that is a whole file, see WholeFile).
void summarise_keywords(Stretch& s, std::string_view chunk, const KeywordSet& keywords,
                        const EdgeOffsets* offsets, const WholeFile* whole = nullptr,
                        const OccurrenceFilter* keep = nullptr) {
  if (offsets == nullptr) {
    keywords.find_all(chunk, s.found);
    return;
  }
  s.places.emplace(
      chunk_places(chunk, keywords, s.edges, offsets->head, offsets->tail, whole, keep));
  for (std::size_t k = 0; k < s.found.size(); ++k) s.found[k] = s.places->keywords[k].count != 0;
}

// Puts b after a, as if the two had been one stretch (of one file lexed, when matched in
// code: `kinds` then say what each keyword must be); with `seam` false nothing counts over
// their edge (two files matched in code).
// With markers honoured (`markers`), occurrences count for the rules they leave on.
void append(Stretch& a, Stretch&& b, const KeywordSet& keywords, std::size_t overlap,
            const MarkerRules* markers, std::span<const KeywordKind> kinds = {}, bool seam = true) {
  if (!a.edges.has_bytes && b.edges.has_bytes) {  // b as it is: the first chunk of a file, the
    a = std::move(b);                             // first file
    return;
  }
  if (!b.edges.has_bytes) return;
  if (a.places && b.places) {
    join_places(*a.places, a.edges, *b.places, b.edges, overlap, seam, keywords, markers, kinds);
    for (std::size_t k = 0; k < a.found.size(); ++k) a.found[k] = a.places->keywords[k].count != 0;
  } else {
    if (!a.edges.tail.empty() && !b.edges.head.empty()) {
      keywords.find_all(a.edges.tail + b.edges.head, a.found);
    }
    for (std::size_t k = 0; k < a.found.size(); ++k) {
      if (b.found[k]) a.found[k] = true;
    }
    join_edges(a.edges, b.edges, overlap);
  }
}

// With markers honoured, the reader's view of the lines of a file that it reads in several
// chunks: it cuts each chunk after its last line break (the bytes after it begin the next
// chunk), so that the markers of a line and the occurrences they turn off lie in one chunk,
// which a scanner reads alone. What one line's markers do to the next line the reader carries
// over (ChunkLines::first_off). A line longer than a chunk is the exception: its chunks hold no
// break, the reader reads their markers as it goes (MarkerStream) and tells the chunk where the
// line ends, and the fold holds the line's occurrences until then (Scanner::line_).
class LineCutter {
 public:
  // Where the file's next chunk, `bytes` (the file's last when `end`), ends, and what lies
  // outside it of its lines.
  std::size_t cut(std::string_view bytes, bool end, ChunkLines& lines) {
    if (bytes.empty()) return 0;  // the file's end (at_end) closes what is open
    std::size_t cut = bytes.size();
    if (!end) {
      const std::size_t last = bytes.find_last_of("\r\n");
      if (last != std::string_view::npos) cut = last + 1;
    }
    const std::string_view chunk = bytes.substr(0, cut);
    const std::size_t first_break = chunk.find_first_of("\r\n");
    const bool open = first_break == std::string_view::npos && !end;
    // An LF after a CR that ended the chunk before: its line began there (TextPlace counts a
    // break at the LF as well, so the line after it is the chunk's second).
    const bool lf_after_cr = after_cr_ && chunk.front() == '\n';
    bool closes = false;
    if (in_long_) {
      feed(chunk.substr(0, open ? cut : first_break));
      if (open) {
        lines.open_line = true;
      } else {
        close_long(lines);
        closes = true;
      }
    } else {
      lines.first_off = entering_;
      if (lf_after_cr) lines.second_off = entering_;
      if (open) {
        in_long_ = true;
        long_entering_ = entering_;
        long_next_.reset();
        feed(chunk);
        lines.open_line = true;
      }
    }
    if (!open && !end) {
      // The next-line markers of the chunk's last line, for the next chunk's first.
      std::size_t line_end = cut - 1;
      if (chunk[line_end] == '\n' && line_end > 0 && chunk[line_end - 1] == '\r') --line_end;
      const std::size_t before =
          line_end == 0 ? std::string_view::npos : chunk.find_last_of("\r\n", line_end - 1);
      const std::size_t begin = before == std::string_view::npos ? 0 : before + 1;
      if (begin == 0 && closes) {
        entering_ = long_next_;
      } else if (!(begin == 0 && lf_after_cr && line_end == 0)) {  // else the line went before
        entering_.reset();
        for (const Marker& m : markers_in(chunk.substr(begin, line_end - begin))) {
          if (m.scope == Marker::Scope::next_line) entering_ |= m.rules;
        }
      }
    }
    after_cr_ = chunk.back() == '\r';
    return cut;
  }

  // The file ends after the chunks cut: a long line still open ends with it.
  ChunkLines at_end() {
    ChunkLines lines;
    if (in_long_) close_long(lines);
    return lines;
  }

 private:
  void feed(std::string_view part) {
    stream_.feed(part, found_);
    take_found();
  }
  void close_long(ChunkLines& lines) {
    stream_.finish(found_);
    take_found();
    lines.closes_line = true;
    lines.first_off = long_line_ | long_entering_;
    lines.second_off = long_next_;
    lines.file_off = long_file_;
    long_line_.reset();
    long_file_.reset();
    in_long_ = false;  // long_next_ stays for the line after it
  }
  void take_found() {
    for (const Marker& m : found_) {
      (m.scope == Marker::Scope::line        ? long_line_
       : m.scope == Marker::Scope::next_line ? long_next_
                                             : long_file_) |= m.rules;
    }
    found_.clear();
  }

  RuleSet entering_;       // off on the line that the next chunk begins with
  bool after_cr_ = false;  // the chunk before ended with a CR
  bool in_long_ = false;   // a line longer than a chunk is open
  RuleSet long_entering_;  // off on that line by the one before it
  RuleSet long_line_;      // and by its own markers, by scope
  RuleSet long_next_;
  RuleSet long_file_;
  MarkerStream stream_;
  std::vector<Marker> found_;
};

Why why_skipped(platform::InputFile::Status status) {
  return status == platform::InputFile::Status::not_regular ? Why::not_regular : Why::unreadable;
}

// How far the reader may run ahead of the fold, in sequence numbers (chunks and file ends),
// and in the bytes of the names of files ended that the fold has not reached (with places: a
// tree 10,000 folders deep has names of 20 kB).
constexpr std::uint64_t kWindow = 1024;
constexpr std::size_t kNamesInFlight = std::size_t{1} << 20;

class Scanner {
 public:
  Scanner(std::span<const fs::path> inputs, const WalkOptions& walk, const KeywordSet& keywords,
          std::size_t chunk_bytes, const ScanSettings& settings)
      : keywords_(keywords),
        overlap_(std::max<std::size_t>(keywords.longest(), 1) - 1),
        chunk_bytes_(chunk_bytes),
        code_(settings.match == MatchMode::code),
        places_(settings.places || code_),
        inputs_(inputs),
        walk_options_(walk),
        dash_is_stdin_(settings.dash_is_stdin),
        stdin_name_(settings.stdin_name.empty() ? fs::path("-") : settings.stdin_name),
        whole_(keywords.size(), places_),
        whole_cpp_(keywords.size(), places_),
        file_(0, places_),  // sized by its first stretch (append)
        line_(0, places_),
        settled_(std::make_unique<std::atomic<bool>[]>(2 * keywords.size())) {
    if (code_) kinds_ = kinds_of(keywords);
    if (places_ && settings.suppressions) {
      markers_.emplace(marker_rules(keywords));
      // Never a first place to keep: its count in a chunk only says to look for markers.
      if (markers_->marker_start < keywords.size()) settled_[markers_->marker_start] = true;
    }
  }

  // Reads on the calling thread with `scanners` more threads scanning (fewer when the
  // system refuses a thread), and returns when all of them are done.
  void run(std::vector<Buffer>& buffers, unsigned scanners);

  ModeOutcome outcome();
  const Stretch& whole() const { return whole_; }
  // Matched in code: where the C++ rules count the keywords (whole() is where the web rules
  // do), the edges of all the text as one (for slots 200 and 0), and whether a file of each
  // section's languages was read.
  const Stretch& whole_cpp() const { return whole_cpp_; }
  const Edges& edges() const { return edges_; }
  std::array<std::optional<fs::path>, 2> languages() const { return languages_; }
  bool all_found() const { return all_found_; }
  bool read_any() const { return read_any_; }
  // The files whose places count, by the index their places carry.
  std::map<std::size_t, fs::path> take_files() {
    prune_files();
    std::map<std::size_t, fs::path> files;
    for (auto& [index, name] : files_taken_) files.emplace(index, fs::path(std::move(name)));
    return files;
  }

 private:
  // Stretches of one or more files, each numbered, in one buffer: small files share a
  // buffer, so that a folder of them costs one hand-over per buffer, not one per file.
  struct Segment {
    std::uint64_t number;
    std::size_t offset;
    std::size_t size;
    bool whole_file;  // the file's only segment
    // Matched in code, a file of a language: its lexer goes from one segment of the file to
    // the next in order (see lex_segment). `ahead` bytes of the file follow the segment in
    // its buffer for the lexer to look at (kLexAhead, or fewer where the file ends); they
    // begin its next segment too.
    Language language = Language::none;
    bool first = false;
    bool last = false;
    std::size_t ahead = 0;
    ChunkLines lines;  // with markers honoured, of a file in several segments
  };
  struct Job {
    char* buffer;
    std::vector<Segment> segments;
  };
  struct Piece {
    bool end = false;                    // the end of a file, not a chunk
    bool dropped = false;                // end: the file failed, its text is left out
    fs::path::string_type file;          // end: which file, when places are wanted (no parsed path:
                                         // one 10,000 folders deep parses into as many parts)
    Language language = Language::none;  // end, matched in code: the file's language
    std::optional<Stretch> text;
    ChunkLines lines;  // the segment's, or for a file's end, what closes there
  };

  void read_all();
  void read_walk();
  // Reads the file the item names, or `in` already open for it.
  void read_file(const WalkItem& item, std::unique_ptr<platform::InputFile> in = nullptr);
  void skip(const WalkItem& item, Why why, platform::InputFile::Status status);
  std::span<char> room(std::uint64_t whole = 0, std::size_t least = 0);
  void take_buffer();
  void add_segment(std::size_t size, bool whole_file, const ChunkLines& lines,
                   Language language = Language::none, bool first = false, bool last = false,
                   std::size_t ahead = 0);
  void flush(std::unique_lock<std::mutex>& lock);
  void end_file(bool dropped, const fs::path& file, const ChunkLines& lines = {},
                Language language = Language::none);
  LexState lex_segment(const Segment& segment, std::string_view chunk, CodeClass* classes);
  void fold_file(Piece& piece);
  void close_line(const ChunkLines& lines);
  void scan_one(std::unique_lock<std::mutex>& lock);
  void scanner();
  void deposit(std::uint64_t number, Piece piece);
  void stop_scanners();
  void prune_files();
  void check_error();

  const KeywordSet& keywords_;
  const std::size_t overlap_;
  const std::size_t chunk_bytes_;
  // Keywords matched in code (their kinds by keyword); places then too.
  const bool code_;
  std::vector<KeywordKind> kinds_;
  // Places wanted: every keyword is counted over all the input, so the scan never stops early.
  const bool places_;
  // With places and markers honoured.
  std::optional<MarkerRules> markers_;
  // The reader's alone: the inputs, walked a run of them at a time between the "-" that
  // stand for standard input.
  std::span<const fs::path> inputs_;
  const WalkOptions& walk_options_;
  const bool dash_is_stdin_;
  const fs::path stdin_name_;
  bool stdin_read_ = false;
  std::optional<InputWalk> walk_;

  // The reader's alone.
  std::uint64_t next_number_ = 0;
  Job filling_{nullptr, {}};  // the buffer being read into, not yet queued
  std::size_t filled_ = 0;    // its bytes taken, up to where the next segment may start
  bool read_any_ = false;     // a file gave its bytes (named, or a source of a folder)
  std::vector<SkippedInput> skipped_;
  struct Failure {
    fs::path path;
    platform::InputFile::Status status;
  };
  std::optional<Failure> failure_;      // the first input given by name that failed
  std::optional<fs::path> output_met_;  // an input that is the run's output: nothing after it

  std::mutex mutex_;  // everything below
  std::condition_variable changed_;
  std::vector<char*> free_;
  std::deque<Job> queue_;
  std::map<std::uint64_t, Piece> pending_;
  std::uint64_t folded_ = 0;  // the numbers before it are folded
  Stretch whole_;             // the files folded so far (in code: those the web rules count in)
  Stretch whole_cpp_;         // in code: those the C++ rules count in
  Edges edges_;               // in code: the edges of all files folded, as one text
  // In code: the first file of the web, the C++ languages folded.
  std::array<std::optional<fs::path>, 2> languages_;
  // In code: the lexer's state at the end of a segment, by its number, until the file's next
  // segment takes it.
  std::map<std::uint64_t, LexState> lexed_;
  Stretch file_;  // the file being folded, up to its chunk folded last
  // With markers honoured: the chunks of a line longer than a chunk, whose markers the reader
  // has not read to its end yet (LineCutter); the chunk that holds its end, or the file's end,
  // says which rules they turn off, and the line then joins file_.
  Stretch line_;
  // With places: the files folded into whole_ so far, and by index those whose places count.
  std::size_t files_folded_ = 0;
  std::map<std::size_t, fs::path::string_type> files_taken_;
  std::size_t pending_name_bytes_ = 0;  // of the file ends in pending_
  std::atomic<bool> all_found_ = false;
  // With places: the keywords whose first occurrence whole_ holds, for the scanners to read
  // without the lock (a file's chunk then needs no places of them); in code, those of
  // whole_cpp_ after them.
  std::unique_ptr<std::atomic<bool>[]> settled_;
  bool closing_ = false;      // the reader is done: scanners leave once the queue is empty
  std::exception_ptr error_;  // the first exception of a scanner
};

void Scanner::run(std::vector<Buffer>& buffers, unsigned scanners) {
  for (const auto& buffer : buffers) free_.push_back(buffer.get());
  std::vector<std::thread> threads;
  // A thread the system refuses (no memory left for its stack, say) is one fewer, no more.
  try {
    threads.reserve(scanners);
    for (unsigned i = 0; i < scanners; ++i) threads.emplace_back([this] { scanner(); });
  } catch (const std::exception&) {
  }
  std::exception_ptr reader_error;
  try {
    read_all();
    // What is still queued is scanned here too, side by side with the scanners.
    std::unique_lock lock(mutex_);
    flush(lock);
    while (!queue_.empty()) scan_one(lock);
  } catch (...) {
    reader_error = std::current_exception();
    std::lock_guard lock(mutex_);  // a scanner waiting for a lexer's state must not wait on
    if (!error_) error_ = reader_error;
    changed_.notify_all();
  }
  stop_scanners();
  for (std::thread& thread : threads) thread.join();
  if (reader_error) std::rethrow_exception(reader_error);
  if (error_) std::rethrow_exception(error_);
}

void Scanner::stop_scanners() {
  std::lock_guard lock(mutex_);
  closing_ = true;
  changed_.notify_all();
}

void Scanner::check_error() {
  std::lock_guard lock(mutex_);
  if (error_) std::rethrow_exception(error_);
}

// Whether an input stands for standard input.
bool is_dash(const fs::path& input) {
  return input.native().size() == 1 && input.native()[0] == '-';
}

void Scanner::read_all() {
  for (std::size_t i = 0; i < inputs_.size() && !failure_ && !output_met_;) {
    if (dash_is_stdin_ && is_dash(inputs_[i])) {
      ++i;
      if (stdin_read_) continue;  // read once: it has no more to give
      stdin_read_ = true;
      check_error();
      WalkItem item;
      item.path = stdin_name_;
      item.named = true;
      read_file(item, platform::InputFile::standard_input(stdin_name_));
      continue;
    }
    std::size_t end = i;
    while (end < inputs_.size() && !(dash_is_stdin_ && is_dash(inputs_[end]))) ++end;
    walk_.emplace(inputs_.subspan(i, end - i), walk_options_);
    read_walk();
    i = end;
  }
}

void Scanner::read_walk() {
  using What = WalkItem::What;
  while (std::optional<WalkItem> item = walk_->next()) {
    check_error();
    switch (item->what) {
      case What::file:
        read_file(*item);
        break;
      case What::folder:
        skip(*item, Why::folder_unlisted, platform::InputFile::Status::unreadable);
        break;
      case What::not_regular:
        skip(*item, Why::not_regular, platform::InputFile::Status::not_regular);
        break;
      case What::unreadable:
        skip(*item, Why::unreadable, platform::InputFile::Status::unreadable);
        break;
      case What::bad_name:
        skip(*item, Why::bad_name, platform::InputFile::Status::unreadable);
        break;
    }
    if (failure_) return;  // the run fails: nothing after it counts
  }
  output_met_ = walk_->output_met();
}

// An input given by name that fails fails the run; one met in a folder is left out.
void Scanner::skip(const WalkItem& item, Why why, platform::InputFile::Status status) {
  if (item.named) {
    failure_ = Failure{item.path, status};
  } else {
    skipped_.push_back(SkippedInput{item.path, why});
  }
}

void Scanner::read_file(const WalkItem& item, std::unique_ptr<platform::InputFile> in) {
  if (!in) in = item.named ? std::make_unique<platform::InputFile>(item.path) : walk_->open_last();
  if (in->status() != platform::InputFile::Status::open) {
    skip(item, why_skipped(in->status()), in->status());
    return;
  }
  if (!item.named && is_own_output(*in)) return;  // a report of an earlier run: not a source
  // Matched in code, a file of a language is lexed: each segment but the last is followed in
  // its buffer by kLexAhead bytes of the file for the lexer, carried to begin the next one.
  const Language language = code_ ? language_of(item.path) : Language::none;
  const std::size_t carried_most = language != Language::none ? kLexAhead : 0;
  std::uint64_t file_bytes = 0;
  LineCutter cutter;  // with markers honoured, for a file in several chunks
  std::string carry;  // the bytes after the last line break of the chunk before
  for (bool first = true;; first = false) {
    // With places, a file that a buffer can hold whole is not split over two (WholeFile); the
    // bytes carried over, with one more, always fit, and in code more than twice the lexer's
    // look ahead.
    const std::span<char> space =
        room(first && places_ ? in->size() : 0,
             std::max(carry.empty() ? 0 : carry.size() + 1, 2 * carried_most + 1));
    if (all_found_) {  // the report is settled: the rest of the input is not read
      // but a file not read at all yet gives one byte, so that one whose reads fail at once
      // is reported whether the reader reached it before the report was settled or after.
      char byte;
      if (first) in->read(&byte, 1);
      if (in->status() != platform::InputFile::Status::open) {
        skip(item, why_skipped(in->status()), in->status());
        return;
      }
      read_any_ = true;
      return;
    }
    std::size_t size = carry.size();
    std::memcpy(space.data(), carry.data(), carry.size());
    carry.clear();
    bool end = false;
    while (size < space.size()) {
      const std::size_t wanted = space.size() - size;
      const std::size_t got = in->read(space.data() + size, wanted);
      size += got;
      file_bytes += got;
      // A short read that reaches the size the file had when it was opened is its end: one
      // more read only to be told so costs a call for every small file of a tree.
      if (got == 0 || (got < wanted && file_bytes == in->size())) {
        end = true;
        break;
      }
    }
    if (in->status() != platform::InputFile::Status::open) {
      const platform::InputFile::Status status = in->status();
      in.reset();
      end_file(true, item.path, {}, language);
      skip(item, why_skipped(status), status);
      return;
    }
    if (const void* zero = std::memchr(space.data(), 0, size)) {
      size = static_cast<std::size_t>(static_cast<const char*>(zero) - space.data());
      end = true;
    }
    // Matched in code, the last kLexAhead bytes read go to the next segment, and follow this
    // one for its lexer to look at; with markers, the segment ends after a line break too.
    const std::size_t held = end ? 0 : std::min(carried_most, size);
    std::size_t cut = size - held;
    ChunkLines lines;
    if (markers_ && !(first && end)) cut = cutter.cut({space.data(), cut}, end, lines);
    carry.assign(space.data() + cut, size - cut);
    add_segment(cut, first && end, lines, language, first, end && cut == size,
                std::min(carried_most, size - cut));
    if (end) break;
  }
  in.reset();  // closed as soon as it is done
  read_any_ = true;
  end_file(false, item.path, markers_ ? cutter.at_end() : ChunkLines{}, language);
}

// Where the next bytes go: the rest of the buffer being filled, or a fresh buffer once too
// little of it is left (less than `least` bytes or a sixteenth of a buffer), or too little for
// a file of `whole` bytes (when not 0) that a fresh one holds. A segment starts on a cache
// line, which the kernel copies into fastest (see kBufferAlignment).
std::span<char> Scanner::room(std::uint64_t whole, std::size_t least) {
  constexpr std::size_t kLine = 64;
  least = std::max({least, chunk_bytes_ / 16, std::size_t{1}});
  const std::size_t start = (filled_ + kLine - 1) / kLine * kLine;
  if (filling_.buffer == nullptr || start >= chunk_bytes_ || chunk_bytes_ - start < least ||
      (whole > chunk_bytes_ - start && whole <= chunk_bytes_)) {
    take_buffer();
    return {filling_.buffer, chunk_bytes_};
  }
  filled_ = start;
  return {filling_.buffer + start, chunk_bytes_ - start};
}

// Queues the buffer being filled (when it holds anything) and takes a free one, scanning
// a queued job meanwhile when none is free or the reader is too far ahead of the fold.
void Scanner::take_buffer() {
  std::unique_lock lock(mutex_);
  flush(lock);
  for (;;) {
    if (error_) std::rethrow_exception(error_);
    if (!free_.empty() && (all_found_ || next_number_ - folded_ < kWindow)) {
      filling_.buffer = free_.back();
      free_.pop_back();
      filled_ = 0;
      return;
    }
    if (!queue_.empty()) {
      scan_one(lock);
    } else {
      changed_.wait(lock);
    }
  }
}

void Scanner::add_segment(std::size_t size, bool whole_file, const ChunkLines& lines,
                          Language language, bool first, bool last, std::size_t ahead) {
  if (all_found_ || size == 0) return;  // nothing to scan: read only to see that it reads
  const std::size_t offset = filled_;
  filling_.segments.push_back(
      {next_number_++, offset, size, whole_file, language, first, last, ahead, lines});
  filled_ = offset + size + ahead;
}

// The lock is held.
void Scanner::flush(std::unique_lock<std::mutex>&) {
  if (filling_.buffer == nullptr) return;
  if (filling_.segments.empty() || all_found_) {
    free_.push_back(filling_.buffer);
  } else {
    queue_.push_back(std::move(filling_));
  }
  filling_ = Job{nullptr, {}};
  filled_ = 0;
  changed_.notify_all();
}

void Scanner::end_file(bool dropped, const fs::path& file, const ChunkLines& lines,
                       Language language) {
  std::unique_lock lock(mutex_);
  // The fold cannot pass the segments still being filled: they go out first.
  const auto too_far = [&] {
    return next_number_ - folded_ >= kWindow || pending_name_bytes_ >= kNamesInFlight;
  };
  if (!all_found_ && too_far()) flush(lock);
  while (!all_found_ && too_far()) {
    if (error_) std::rethrow_exception(error_);
    if (!queue_.empty()) {
      scan_one(lock);
    } else {
      changed_.wait(lock);
    }
  }
  if (all_found_) return;
  Piece piece;
  piece.end = true;
  piece.dropped = dropped;
  piece.language = language;
  piece.lines = lines;
  if (places_) piece.file = file.native();
  deposit(next_number_++, std::move(piece));
}

// Takes the oldest queued job, scans its segments without the lock, and folds them; the
// lock is held on entry and on return.
void Scanner::scan_one(std::unique_lock<std::mutex>& lock) {
  Job job = std::move(queue_.front());
  queue_.pop_front();
  std::vector<Piece> pieces;
  std::size_t handed = 0;  // the pieces before it are folded (or wait in pending_)
  // The fold takes the pieces a batch at a time: a buffer of many small files would
  // otherwise hold the places of all of them at once.
  constexpr std::size_t kBatch = 64;
  const auto hand_over = [&](std::size_t up_to) {
    lock.lock();
    for (; handed < up_to; ++handed) {
      deposit(job.segments[handed].number, std::move(pieces[handed]));
    }
    changed_.notify_all();
    lock.unlock();
  };
  lock.unlock();
  try {
    pieces.resize(job.segments.size());
    const auto chunk_of = [&](const Segment& segment) {
      return std::string_view(job.buffer + segment.offset, segment.size);
    };
    if (!places_) {
      for (std::size_t i = 0; i < job.segments.size() && !all_found_; ++i) {
        const std::string_view chunk = chunk_of(job.segments[i]);
        pieces[i].text = edges_of(chunk, keywords_.size(), overlap_, nullptr);
        summarise_keywords(*pieces[i].text, chunk, keywords_, nullptr);
        if (i + 1 - handed == kBatch) hand_over(i + 1);
      }
    } else {
      // In code, the segments of files of a language are lexed first, in order (each may
      // wait for the one before it in its file): the classes of a segment's bytes lie at its
      // offset in `classes`.
      std::vector<CodeView> views(job.segments.size());
      if (code_) {
        thread_local std::vector<CodeClass> classes;
        classes.resize(chunk_bytes_);
        for (std::size_t i = 0; i < job.segments.size(); ++i) {
          const Segment& segment = job.segments[i];
          if (segment.language == Language::none) continue;
          const std::string_view chunk = chunk_of(segment);
          CodeClass* const out = classes.data() + segment.offset;
          const LexState before = lex_segment(segment, chunk, out);
          views[i] =
              CodeView{chunk,
                       out,
                       {before.before[0], before.before[1]},
                       segment.ahead != 0
                           ? static_cast<unsigned char>(job.buffer[segment.offset + segment.size])
                           : -1};
        }
      }
      const auto code_view = [&](std::size_t i) {
        return views[i].classes != nullptr ? &views[i] : nullptr;
      };
      // Every segment's edges first: a file that is a whole segment then sees the words of
      // its neighbours in the buffer, where they are whole files too (one that is not may
      // yet be dropped, and then its neighbours meet).
      std::vector<EdgeOffsets> offsets(job.segments.size());
      std::vector<std::string> heads;  // copies: the pieces go to the fold a batch at a time
      std::vector<std::string> tails;
      for (std::size_t i = 0; i < job.segments.size(); ++i) {
        pieces[i].text = edges_of(chunk_of(job.segments[i]), keywords_.size(), overlap_,
                                  &offsets[i], code_view(i));
        heads.push_back(pieces[i].text->edges.head);
        tails.push_back(pieces[i].text->edges.tail);
      }
      const auto words_before = [&](std::size_t i, std::string& words) {
        words.clear();
        for (std::size_t j = i; words.size() < overlap_; words.insert(0, tails[j])) {
          if (j-- == 0 || !job.segments[j].whole_file) return false;
        }
        return true;
      };
      const auto words_after = [&](std::size_t i, std::string& words) {
        words.clear();
        for (std::size_t j = i; words.size() < overlap_; words += heads[j]) {
          if (++j == job.segments.size() || !job.segments[j].whole_file) return false;
        }
        return true;
      };
      std::vector<std::uint8_t> settled(keywords_.size());
      std::string before;
      std::string after;
      for (std::size_t i = 0; i < job.segments.size(); ++i) {
        Stretch& s = *pieces[i].text;
        pieces[i].lines = job.segments[i].lines;
        const Segment& segment = job.segments[i];
        std::optional<CodeFilter> filter;
        if (code_view(i) != nullptr) {
          filter.emplace(keywords_, kinds_, views[i],
                         markers_ ? markers_->marker_start : static_cast<std::size_t>(-1));
        }
        const OccurrenceFilter* keep = filter ? &*filter : nullptr;
        if (!segment.whole_file) {
          summarise_keywords(s, chunk_of(segment), keywords_, &offsets[i], nullptr, keep);
        } else {
          // Matched in code, a file counts where its section's rules do (both: a file of no
          // language), and its keywords are settled where they are in all it counts for.
          const std::optional<Section> section = section_of(segment.language);
          const std::size_t size = keywords_.size();
          for (std::size_t k = 0; k < size; ++k) {
            const bool web = settled_[k].load(std::memory_order_relaxed);
            const bool cpp = settled_[size + k].load(std::memory_order_relaxed);
            settled[k] = !code_ || section == Section::web ? web
                         : section == Section::cpp         ? cpp
                                                           : web && cpp;
          }
          WholeFile whole{settled, s.edges.head, s.edges.tail};
          if (words_before(i, before)) whole.before = &before;
          if (words_after(i, after)) whole.after = &after;
          summarise_keywords(s, chunk_of(segment), keywords_, &offsets[i], &whole, keep);
        }
        if (markers_) {
          chunk_markers(*s.places, s.edges, chunk_of(job.segments[i]), keywords_, *markers_,
                        offsets[i].tail, job.segments[i].lines, keep);
        }
        offsets[i] = EdgeOffsets{};
        if (i + 1 - handed == kBatch) hand_over(i + 1);
      }
    }
  } catch (...) {
    if (!lock.owns_lock()) lock.lock();
    free_.push_back(job.buffer);
    changed_.notify_all();
    throw;
  }
  lock.lock();
  free_.push_back(job.buffer);
  for (; handed < job.segments.size(); ++handed) {
    deposit(job.segments[handed].number, std::move(pieces[handed]));
  }
  changed_.notify_all();
}

// Lexes a segment of a file of a language into `classes`, from where the file's lexer stood
// after its segment before (waited for, as another thread may still be lexing it), and leaves
// the state at its end for the next; returns the state it began from.
LexState Scanner::lex_segment(const Segment& segment, std::string_view chunk, CodeClass* classes) {
  LexState state;
  if (segment.first) {
    state = lex_start(segment.language);
  } else {
    // The segment before it in the file was queued before it and is lexed first by whoever
    // took it, whatever that waits for: the waits go back to the file's first segment.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return lexed_.contains(segment.number - 1) || error_; });
    if (error_) std::rethrow_exception(error_);
    const auto it = lexed_.find(segment.number - 1);
    state = std::move(it->second);
    lexed_.erase(it);
  }
  const LexState before = state;
  lex_piece(state, chunk, std::string_view(chunk.data() + chunk.size(), segment.ahead), classes);
  if (!segment.last) {
    std::lock_guard lock(mutex_);
    lexed_.emplace(segment.number, std::move(state));
    changed_.notify_all();
  }
  return before;
}

void Scanner::scanner() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || closing_ || error_; });
    if (error_ || queue_.empty()) return;
    try {
      scan_one(lock);
    } catch (...) {  // memory ran out, say; the lock is held
      if (!error_) error_ = std::current_exception();
      changed_.notify_all();
      return;
    }
  }
}

// Folds the piece and every one after it that is already there, in number order.
void Scanner::deposit(std::uint64_t number, Piece piece) {
  if (all_found_) return;
  if (number != folded_) {
    pending_name_bytes_ += piece.file.size();
    pending_.emplace(number, std::move(piece));
    return;
  }
  for (;;) {
    const MarkerRules* markers = markers_ ? &*markers_ : nullptr;
    if (!piece.end) {
      if (piece.text && piece.lines.open_line) {
        append(line_, std::move(*piece.text), keywords_, overlap_, markers, kinds_);
      } else if (piece.text) {
        close_line(piece.lines);
        append(file_, std::move(*piece.text), keywords_, overlap_, markers, kinds_);
        if (file_.places) file_.places->file_off |= piece.lines.file_off;
      }
    } else {
      if (!piece.dropped) {
        close_line(piece.lines);
        if (markers && file_.places) {
          file_.places->file_off |= piece.lines.file_off;
          turn_off(*file_.places, file_.edges, file_.places->file_off, *markers);
        }
        fold_file(piece);
      }
      // A file dropped part way leaves its lexer's state behind.
      if (code_) lexed_.erase(lexed_.begin(), lexed_.lower_bound(folded_));
      // Nothing to size yet: the file's first stretch is moved in whole (append).
      file_ = Stretch(0, places_);
      line_ = Stretch(0, places_);
      // Once every keyword is found in the files folded, the report cannot change (counts
      // and places need all of the input).
      if (!places_ &&
          std::all_of(whole_.found.begin(), whole_.found.end(), [](bool found) { return found; })) {
        all_found_ = true;
        pending_.clear();
        return;
      }
    }
    ++folded_;
    const auto next = pending_.find(folded_);
    if (next == pending_.end()) return;
    piece = std::move(next->second);
    pending_name_bytes_ -= piece.file.size();
    pending_.erase(next);
  }
}

// A file read to its end joins the files folded before it: all of them as one text, or matched
// in code those whose section's rules count in it (of no language: both), never over the
// edge of two files.
void Scanner::fold_file(Piece& piece) {
  const MarkerRules* markers = markers_ ? &*markers_ : nullptr;
  if (file_.places) {
    close_file(*file_.places, file_.edges, files_folded_);
    if (!file_.places->counts_only) files_taken_.emplace(files_folded_, std::move(piece.file));
    ++files_folded_;
  }
  if (!code_) {
    append(whole_, std::move(file_), keywords_, overlap_, markers);
  } else {
    join_edges(edges_, file_.edges, overlap_);
    const std::optional<Section> section = section_of(piece.language);
    std::optional<fs::path>& first = languages_[section == Section::web ? 0 : 1];
    if (section && !first) first = fs::path(piece.file);
    if (section != Section::web) {
      append(whole_cpp_, section ? std::move(file_) : Stretch(file_), keywords_, overlap_, markers,
             {}, false);
    }
    if (section != Section::cpp) {
      append(whole_, std::move(file_), keywords_, overlap_, markers, {}, false);
    }
  }
  // Now and then, the names no place refers to any more are let go.
  if (files_taken_.size() > 4 * (keywords_.size() + overlap_) + 64) prune_files();
  if (places_) {
    // A keyword is settled once every rule it places has an occurrence left.
    std::vector<bool> open(keywords_.size(), false);
    for (const Stretch* whole : {&whole_, &whole_cpp_}) {
      if (!whole->places) continue;
      for (const auto& [pair, left] : whole->places->left) {
        if (left.count == 0) open[pair.keyword] = true;
      }
    }
    const std::size_t size = keywords_.size();
    for (std::size_t k = 0; k < size; ++k) {
      if (open[k]) continue;
      if (whole_.places->keywords[k].count != 0) settled_[k].store(true, std::memory_order_relaxed);
      if (code_ && whole_cpp_.places->keywords[k].count != 0) {
        settled_[size + k].store(true, std::memory_order_relaxed);
      }
    }
  }
}

// A long line's chunks join the file once the piece where the line ends says what its
// markers turn off.
void Scanner::close_line(const ChunkLines& lines) {
  if (!line_.edges.has_bytes) return;
  if (markers_ && line_.places) turn_off(*line_.places, line_.edges, lines.first_off, *markers_);
  append(file_, std::move(line_), keywords_, overlap_, markers_ ? &*markers_ : nullptr, kinds_);
  line_ = Stretch(0, places_);
}

// Keeps the names of the files that whole_'s places refer to: the first and last byte of
// each keyword's first occurrence (and of each pair's first left), and the tail, where an
// occurrence over the edge of the next file may begin. No other place of a file folded can
// ever be asked for.
void Scanner::prune_files() {
  if (!whole_.places) return;
  std::vector<std::size_t> used;
  for (const Stretch* whole : {&whole_, &whole_cpp_}) {
    if (whole == &whole_cpp_ && !code_) break;
    for (const KeywordPlaces& k : whole->places->keywords) {
      if (k.count == 0) continue;
      used.push_back(k.first.file);
      used.push_back(k.last.file);
    }
    for (const TextPlace& p : whole->edges.tail_places) used.push_back(p.file);
  }
  for (const Stretch* whole : {&whole_, &whole_cpp_}) {
    if (whole == &whole_cpp_ && !code_) break;
    for (const auto& [pair, k] : whole->places->left) {
      if (k.count == 0) continue;
      used.push_back(k.first.file);
      used.push_back(k.last.file);
    }
  }
  std::sort(used.begin(), used.end());
  for (auto it = files_taken_.begin(); it != files_taken_.end();) {
    it = std::binary_search(used.begin(), used.end(), it->first) ? std::next(it)
                                                                 : files_taken_.erase(it);
  }
}

ModeOutcome Scanner::outcome() {
  ModeOutcome outcome;
  if (failure_) outcome = input_failure(failure_->path, failure_->status);
  if (output_met_) outcome = output_is_input(*output_met_, walk_options_.output);
  outcome.skipped = std::move(skipped_);
  return outcome;
}

}  // namespace

ScanResult scan_sources(std::span<const fs::path> inputs, const KeywordSet& keywords,
                        const ScanSettings& settings, const WalkOptions& walk) {
  ScanResult result;
  unsigned threads = settings.threads != 0 ? settings.threads : platform::usable_cpus();
  threads = std::clamp(threads, 1u, kMostThreads);
  // Two buffers a thread at least: one being read into or queued while the other is
  // scanned; and as many as the bytes in flight allow, since a small file fills a buffer
  // only in part (and costs only that much) but takes it whole.
  // Matched in code, a buffer holds more than a segment and the bytes the lexer looks ahead.
  const std::size_t chunk_bytes =
      settings.chunk_bytes != 0
          ? std::max(settings.chunk_bytes,
                     settings.match == MatchMode::code ? 4 * kLexAhead : std::size_t{1})
          : std::clamp(kBytesInFlight / (2 * std::size_t{threads}), kSmallestChunk, kLargestChunk);
  const std::size_t buffer_count =
      std::max(2 * std::size_t{threads}, std::min<std::size_t>(kBytesInFlight / chunk_bytes, 64));
  // Not zero-filled: a buffer costs memory only as far as chunks fill it. Without memory
  // for the first buffer the run fails; without the others, it has fewer.
  std::vector<Buffer> buffers;
  buffers.reserve(buffer_count);
  buffers.push_back(new_buffer(chunk_bytes));
  try {
    while (buffers.size() < buffer_count) {
      buffers.push_back(new_buffer(chunk_bytes));
    }
  } catch (const std::bad_alloc&) {
  }
  Scanner scanner(inputs, walk, keywords, chunk_bytes, settings);
  scanner.run(buffers, threads - 1);
  result.outcome = scanner.outcome();
  if (result.outcome.status != ModeOutcome::Status::ok) return result;
  if (!scanner.read_any()) {
    // Folders that gave no source at all: a report of nothing would look like advice.
    result.outcome.status = ModeOutcome::Status::no_sources;
    result.outcome.file = inputs.empty() ? fs::path() : inputs.front();
    note_ignored_folders(result.outcome, inputs, walk);
    return result;
  }
  result.match = settings.match;
  if (scanner.all_found()) {
    result.found.assign(keywords.size(), true);
  } else {
    result.found = scanner.whole().found;
  }
  if (settings.places || settings.match == MatchMode::code) {
    result.places = ScanPlaces{scanner.whole().places->keywords, scanner.whole().places->left,
                               scanner.take_files()};
  }
  const Edges* edges = &scanner.whole().edges;
  if (settings.match == MatchMode::code) {
    const Stretch& cpp = scanner.whole_cpp();
    result.found.insert(result.found.end(), cpp.found.begin(), cpp.found.end());
    result.places->keywords.insert(result.places->keywords.end(), cpp.places->keywords.begin(),
                                   cpp.places->keywords.end());
    // The markers' pairs are by rule: a web rule's from the web total, a C++ rule's from the
    // C++ one (rule numbers never meet).
    std::erase_if(result.places->left,
                  [](const auto& entry) { return entry.first.rule >= kWebRuleCount; });
    for (const auto& entry : cpp.places->left) {
      if (entry.first.rule >= kWebRuleCount) result.places->left.insert(entry);
    }
    result.language_files = scanner.languages();
    edges = &scanner.edges();
  }
  result.end_of_text = edges->tail;
  result.last_word = edges->word;
  return result;
}

void keep_scanned_text(Workspace& w, const ScanResult& result) {
  scanned_text(w) = result.end_of_text;
  current_word(w) = result.last_word;
}

bool scanned_contains(const ScanResult& scan, const KeywordSet& keywords,
                      std::string_view keyword) {
  return occurs_for(scan, keywords, Section::web, keyword);
}

std::size_t found_slot(const ScanResult& scan, const KeywordSet& keywords, Section section,
                       std::size_t k) {
  return scan.match == MatchMode::code && section == Section::cpp ? keywords.size() + k : k;
}

bool occurs_for(const ScanResult& scan, const KeywordSet& keywords, Section section,
                std::string_view keyword) {
  if (without_whitespace(keyword).empty()) return true;  // found in any text, as by a search
  const std::size_t k = keywords.index_of(keyword);
  if (k >= keywords.size()) return false;
  const std::size_t slot = found_slot(scan, keywords, section, k);
  return slot < scan.found.size() && scan.found[slot];
}

}  // namespace orven
