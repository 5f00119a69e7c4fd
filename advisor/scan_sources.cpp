// The scan of a training run's sources, wired from three parts that are easy to check alone:
//
//   the reader (advisor/scan_reader.h, on the calling thread) walks the inputs and reads them
//   into free buffers, cut into numbered segments, and hands the buffers out in a bounded
//   queue; N scanner threads take a buffer (a Job), lex the segments of files of a language
//   in order, and summarise each segment on its own (advisor/segment_summary.h); the ordered
//   fold (advisor/scan_fold.h) puts the summaries and the file ends together in the reader's
//   order. The scan gives back its result (scan.h, ScanResult); the run puts into the
//   workspace what the report keeps there.
//
// Invariants of the wiring, all under `mutex_` (the fold's too):
// - The buffers are the only large memory: a buffer is free, being filled by the reader,
//   queued, or being scanned, never two at once. The reader never runs more than kWindow
//   numbers ahead of the fold, so the fold's pending pieces stay few whatever the inputs.
// - The reader's buffer being filled is queued before the reader waits for anything (a free
//   buffer, room in the window): the fold cannot pass that buffer's segments, so waiting with
//   them held back would wait for ever.
// - Whenever the reader finds no free buffer it scans a queued job itself, so the scan
//   finishes with no scanner thread at all (one core, or none could be started).
// - In code, a file's lexer goes from one segment to the next in number order (lexed_), and a
//   state left by a file that ended (or was dropped part way) is let go at its end.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
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
#include "advisor/scan_fold.h"
#include "advisor/scan_reader.h"
#include "advisor/segment_summary.h"
#include "advisor/suppression.h"
#include "base/platform.h"

namespace orven {

namespace fs = std::filesystem;

namespace {

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

// How far the reader may run ahead of the fold, in sequence numbers (chunks and file ends),
// and in the bytes of the names of files ended that the fold has not reached (with places: a
// tree 10,000 folders deep has names of 20 kB).
constexpr std::uint64_t kWindow = 1024;
constexpr std::size_t kNamesInFlight = std::size_t{1} << 20;

class Scanner final : public ReaderOutlet {
 public:
  Scanner(std::span<const fs::path> inputs, const WalkOptions& walk, const KeywordSet& keywords,
          std::size_t chunk_bytes, const ScanSettings& settings)
      : keywords_(keywords),
        overlap_(std::max<std::size_t>(keywords.longest(), 1) - 1),
        chunk_bytes_(chunk_bytes),
        code_(settings.match == MatchMode::code),
        places_(settings.places || code_),
        markers_(places_ && settings.suppressions ? std::optional(marker_rules(keywords))
                                                  : std::nullopt),
        fold_(keywords, code_, places_, markers_ ? &*markers_ : nullptr),
        reader_(inputs, walk,
                ReaderSettings{chunk_bytes, code_, places_, markers_.has_value(),
                               settings.dash_is_stdin, settings.stdin_name},
                *this) {
    if (code_) kinds_ = kinds_of(keywords);
  }

  // Reads on the calling thread with `scanners` more threads scanning (fewer when the
  // system refuses a thread), and returns when all of them are done.
  void run(std::vector<Buffer>& buffers, unsigned scanners);

  ModeOutcome outcome() { return reader_.outcome(); }
  bool read_any() const { return reader_.read_any(); }
  ScanFold& fold() { return fold_; }

  // The reader's outlet.
  void next_buffer(Job& filling, std::uint64_t next_number) override;
  void end_file(const FileEnd& end, Job& filling) override;
  bool all_found() const override { return fold_.all_found(); }
  void check() override;

 private:
  void flush(Job& filling);
  LexState lex_segment(const Segment& segment, std::string_view chunk, CodeClass* classes);
  void scan_one(std::unique_lock<std::mutex>& lock);
  void scanner();
  void deposit(std::uint64_t number, ScanPiece piece);
  void stop_scanners();

  const KeywordSet& keywords_;
  const std::size_t overlap_;
  const std::size_t chunk_bytes_;
  // Keywords matched in code (their kinds by keyword); places then too.
  const bool code_;
  std::vector<KeywordKind> kinds_;
  // Places wanted: every keyword is counted over all the input, so the scan never stops early.
  const bool places_;
  // With places and markers honoured.
  const std::optional<MarkerRules> markers_;

  std::mutex mutex_;  // everything below
  std::condition_variable changed_;
  std::vector<char*> free_;
  std::deque<Job> queue_;
  ScanFold fold_;
  // In code: the lexer's state at the end of a segment, by its number, until the file's next
  // segment takes it.
  std::map<std::uint64_t, LexState> lexed_;
  bool closing_ = false;      // the reader is done: scanners leave once the queue is empty
  std::exception_ptr error_;  // the first exception of a scanner

  ScanReader reader_;  // the calling thread's alone
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
    reader_.read_all();
    // What is still queued is scanned here too, side by side with the scanners.
    std::unique_lock lock(mutex_);
    flush(reader_.filling());
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

void Scanner::check() {
  std::lock_guard lock(mutex_);
  if (error_) std::rethrow_exception(error_);
}

// Queues the buffer being filled (when it holds anything) and takes a free one, scanning
// a queued job meanwhile when none is free or the reader is too far ahead of the fold.
void Scanner::next_buffer(Job& filling, std::uint64_t next_number) {
  std::unique_lock lock(mutex_);
  flush(filling);
  for (;;) {
    if (error_) std::rethrow_exception(error_);
    if (!free_.empty() && (fold_.all_found() || next_number - fold_.folded() < kWindow)) {
      filling.buffer = free_.back();
      free_.pop_back();
      return;
    }
    if (!queue_.empty()) {
      scan_one(lock);
    } else {
      changed_.wait(lock);
    }
  }
}

// The lock is held.
void Scanner::flush(Job& filling) {
  if (filling.buffer == nullptr) return;
  if (filling.segments.empty() || fold_.all_found()) {
    free_.push_back(filling.buffer);
  } else {
    queue_.push_back(std::move(filling));
  }
  filling = Job{};
  changed_.notify_all();
}

void Scanner::end_file(const FileEnd& end, Job& filling) {
  std::unique_lock lock(mutex_);
  // The fold cannot pass the segments still being filled: they go out first.
  const auto too_far = [&] {
    return end.number - fold_.folded() >= kWindow || fold_.pending_name_bytes() >= kNamesInFlight;
  };
  if (!fold_.all_found() && too_far()) flush(filling);
  while (!fold_.all_found() && too_far()) {
    if (error_) std::rethrow_exception(error_);
    if (!queue_.empty()) {
      scan_one(lock);
    } else {
      changed_.wait(lock);
    }
  }
  if (fold_.all_found()) return;
  ScanPiece piece;
  piece.end = true;
  piece.dropped = end.dropped;
  piece.language = end.language;
  piece.lines = end.lines;
  if (places_) piece.file = end.file->native();
  deposit(end.number, std::move(piece));
}

// Folds the piece (and what it lets the fold pass); a file that ended takes its lexer's state
// with it. The lock is held.
void Scanner::deposit(std::uint64_t number, ScanPiece piece) {
  fold_.deposit(number, std::move(piece));
  // A file dropped part way leaves its lexer's state behind.
  if (code_) lexed_.erase(lexed_.begin(), lexed_.lower_bound(fold_.last_end()));
}

// Takes the oldest queued job, summarises its segments without the lock, and folds them; the
// lock is held on entry and on return.
void Scanner::scan_one(std::unique_lock<std::mutex>& lock) {
  Job job = std::move(queue_.front());
  queue_.pop_front();
  std::vector<ScanPiece> pieces;
  std::size_t handed = 0;  // the pieces before it are folded (or wait in the fold)
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
    SegmentContext context{keywords_, overlap_, places_, markers_ ? &*markers_ : nullptr,
                           {},        nullptr,  kinds_};
    if (!places_) {
      for (std::size_t i = 0; i < job.segments.size() && !fold_.all_found(); ++i) {
        pieces[i].text = summarise_segment(chunk_of(job.segments[i]), context);
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
      const auto context_of = [&](std::size_t i) {
        context.code = views[i].classes != nullptr ? &views[i] : nullptr;
        context.lines = job.segments[i].lines;
        return context;
      };
      // Every segment's edges first: a file that is a whole segment then sees the words of
      // its neighbours in the buffer, where they are whole files too (one that is not may
      // yet be dropped, and then its neighbours meet).
      std::vector<EdgeOffsets> offsets(job.segments.size());
      std::vector<std::string> heads;  // copies: the pieces go to the fold a batch at a time
      std::vector<std::string> tails;
      for (std::size_t i = 0; i < job.segments.size(); ++i) {
        pieces[i].text = segment_edges(chunk_of(job.segments[i]), context_of(i), &offsets[i]);
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
        const Segment& segment = job.segments[i];
        pieces[i].lines = segment.lines;
        if (!segment.whole_file) {
          segment_keywords(*pieces[i].text, chunk_of(segment), context_of(i), offsets[i]);
        } else {
          // Matched in code, a file counts where its section's rules do (both: a file of no
          // language), its keywords are settled where they are in all it counts for, and
          // nothing runs over its edges (the fold joins no two files there).
          const std::optional<Section> section = section_of(segment.language);
          const std::size_t size = keywords_.size();
          for (std::size_t k = 0; k < size; ++k) {
            const bool web = fold_.settled(k);
            const bool cpp = fold_.settled(size + k);
            settled[k] = !code_ || section == Section::web ? web
                         : section == Section::cpp         ? cpp
                                                           : web && cpp;
          }
          WholeFile around{settled, {}, {}};
          around.edges_closed = code_;
          if (!code_ && words_before(i, before)) around.before = &before;
          if (!code_ && words_after(i, after)) around.after = &after;
          segment_keywords(*pieces[i].text, chunk_of(segment), context_of(i), offsets[i], &around);
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
  ScanFold& fold = scanner.fold();
  if (fold.all_found()) {
    result.found.assign(keywords.size(), true);
  } else {
    result.found = fold.whole().found;
  }
  if (settings.places || settings.match == MatchMode::code) {
    result.places =
        ScanPlaces{fold.whole().places->keywords, fold.whole().places->left, fold.take_files()};
  }
  const Edges* edges = &fold.whole().edges;
  if (settings.match == MatchMode::code) {
    const Stretch& cpp = fold.whole_cpp();
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
    result.language_files = fold.languages();
    edges = &fold.edges();
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
