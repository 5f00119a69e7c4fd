// The scan of a training run's sources. Every input is read in chunks of bounded size; the
// chunks are walked through the keyword automaton on all cores; and what each chunk holds at
// its edges is put back together in input order, so that a keyword or a word across the edge
// of two chunks or two files is found as in one text made of all the files one after another.
//
// Threads take whatever work comes first: a chunk of the earliest file open for reading, or
// else the next input of the walk, which they open themselves. A file is read by one thread
// at a time (its chunks must come in order) and scanned by many. Memory stays bounded: the
// chunk buffers together hold at most kBytesInFlight bytes whatever the number of cores, and
// only so many files and chunks may run ahead of the earliest one not yet put together.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "advisor/advisor.h"
#include "advisor/input_walk.h"
#include "advisor/keyword_scan.h"
#include "advisor/places.h"
#include "base/platform.h"
#include "base/whitespace.h"

namespace orven {

namespace fs = std::filesystem;

namespace {

using Why = SkippedInput::Why;

// All chunk buffers together, however many cores: 64 cores get smaller chunks, not more memory.
constexpr std::size_t kBytesInFlight = std::size_t{8} << 20;
constexpr std::size_t kLargestChunk = std::size_t{1} << 20;
constexpr std::size_t kSmallestChunk = std::size_t{64} << 10;
constexpr unsigned kMostThreads = kBytesInFlight / kSmallestChunk;

// What the scan keeps of a stretch of the scanned text, enough to join it to the stretch
// before it and the one after: a keyword across the edge lies within `overlap` bytes of
// words (the longest keyword's length less one) on either side, and a word may run on.
struct Stretch {
  explicit Stretch(std::size_t keywords, bool with_places = false) : found(keywords, false) {
    if (with_places) places.emplace(keywords);
  }

  std::vector<bool> found;              // the keywords inside the stretch
  std::string head;                     // its first `overlap` bytes of words, or all when fewer
  std::string tail;                     // its last `overlap` bytes of words, or all when fewer
  std::size_t kept = 0;                 // its bytes of words, counted up to `overlap`
  bool empty = true;                    // not even whitespace
  std::string word;                     // its last word, at most kWordKept bytes of the word's end
  bool word_at_start = false;           // that word begins with the stretch
  bool ends_in_word = false;            // and goes on to its end
  std::optional<StretchPlaces> places;  // where the keywords are, when the run wants that
};

Stretch summarise(std::string_view chunk, const KeywordSet& keywords, std::size_t overlap,
                  bool with_places) {
  Stretch s(keywords.size());
  s.empty = chunk.empty();
  if (!with_places) keywords.find_all(chunk, s.found);
  std::vector<std::size_t> head_offsets;
  std::vector<std::size_t> tail_offsets;
  for (std::size_t i = 0; i < chunk.size() && s.head.size() < overlap; ++i) {
    if (!is_whitespace(chunk[i])) {
      s.head += chunk[i];
      if (with_places) head_offsets.push_back(i);
    }
  }
  s.kept = s.head.size();
  if (s.kept < overlap) {
    s.tail = s.head;
    tail_offsets = head_offsets;
  } else {
    for (std::size_t i = chunk.size(); i > 0 && s.tail.size() < overlap; --i) {
      if (!is_whitespace(chunk[i - 1])) {
        s.tail += chunk[i - 1];
        if (with_places) tail_offsets.push_back(i - 1);
      }
    }
    std::reverse(s.tail.begin(), s.tail.end());
    std::reverse(tail_offsets.begin(), tail_offsets.end());
  }
  if (with_places) {
    s.places.emplace(chunk_places(chunk, keywords, head_offsets, tail_offsets));
    for (std::size_t k = 0; k < s.found.size(); ++k) s.found[k] = s.places->keywords[k].count != 0;
  }
  std::size_t end = chunk.size();
  while (end > 0 && is_whitespace(chunk[end - 1])) --end;
  if (end > 0) {
    std::size_t begin = end;
    while (begin > 0 && !is_whitespace(chunk[begin - 1])) --begin;
    const std::size_t kept = std::min(end - begin, kWordKept);
    s.word.assign(chunk.substr(end - kept, kept));
    s.word_at_start = begin == 0;
    s.ends_in_word = end == chunk.size();
  }
  return s;
}

// Puts b after a, as if the two had been one stretch.
void append(Stretch& a, const Stretch& b, const KeywordSet& keywords, std::size_t overlap) {
  if (b.empty) return;
  if (a.places && b.places) {
    join_places(*a.places, *b.places, a.tail, b.head, {a.kept, b.kept, overlap}, keywords);
  }
  if (!a.tail.empty() && !b.head.empty()) keywords.find_all(a.tail + b.head, a.found);
  for (std::size_t k = 0; k < a.found.size(); ++k) {
    if (b.found[k]) a.found[k] = true;
  }
  if (a.kept < overlap) {
    a.head += b.head;
    if (a.head.size() > overlap) a.head.resize(overlap);
  }
  if (b.kept >= overlap) {
    a.tail = b.tail;
  } else {
    a.tail += b.tail;
    if (a.tail.size() > overlap) a.tail.erase(0, a.tail.size() - overlap);
  }
  a.kept = std::min(overlap, a.kept + b.kept);
  if (b.word.empty()) {  // whitespace only: the last word stays, but it is over
    a.ends_in_word = false;
  } else if (b.word_at_start && a.ends_in_word) {  // the word runs on into b
    a.word += b.word;
    if (a.word.size() > kWordKept) a.word.erase(0, a.word.size() - kWordKept);
    a.ends_in_word = b.ends_in_word;
  } else {
    a.word = b.word;
    a.word_at_start = b.word_at_start && a.empty;
    a.ends_in_word = b.ends_in_word;
  }
  a.empty = false;
}

Why why_skipped(platform::InputFile::Status status) {
  return status == platform::InputFile::Status::not_regular ? Why::not_regular : Why::unreadable;
}

class Scanner {
 public:
  Scanner(std::span<const fs::path> inputs, const KeywordSet& keywords, std::size_t chunk_bytes,
          bool places)
      : keywords_(keywords),
        overlap_(std::max<std::size_t>(keywords.longest(), 1) - 1),
        chunk_bytes_(chunk_bytes),
        places_(places),
        walk_(inputs),
        whole_(keywords.size(), places) {}

  // Runs the scan on the calling thread and on as many more as there are buffers (fewer
  // when the system refuses a thread), and returns when all of them are done.
  void run(std::vector<std::unique_ptr<char[]>>& buffers);

  ModeOutcome outcome();
  const Stretch& whole() const { return whole_; }
  bool all_found() const { return all_found_; }
  // The files whose text the scan took, by the index their places carry.
  std::vector<fs::path> take_files() { return std::move(files_taken_); }

 private:
  struct File {
    File(std::size_t index, WalkItem item, std::size_t keywords, bool places)
        : index(index), item(std::move(item)), text(keywords, places) {}

    const std::size_t index;  // in walk order
    const WalkItem item;
    std::mutex reading;                       // one read at a time, so that chunks come in order
    std::unique_ptr<platform::InputFile> in;  // while there is more to read (under `reading`)
    std::atomic<std::size_t> chunks = 0;      // chunks read so far (under `reading`)
    std::atomic<bool> read_all = false;       // no chunk left: its end, a zero byte or a failure
    // Under the scanner's lock:
    bool open = false;                       // its chunks may be read
    std::uint64_t size = 0;                  // when it was opened
    std::size_t readers = 0;                 // threads on their way to read a chunk
    bool failed = false;                     // left out: skipped, or the failure of the run
    std::size_t folded = 0;                  // chunks put together in `text`
    std::map<std::size_t, Stretch> waiting;  // chunks scanned before an earlier one
    Stretch text;                            // its chunks 0 … folded - 1
  };
  struct Chunk {
    bool got = false;  // false: another thread had read the end meanwhile
    std::size_t index = 0;
    std::size_t size = 0;
    platform::InputFile::Status status = platform::InputFile::Status::open;
  };
  struct Task {
    std::shared_ptr<File> file;  // null: nothing left to do
    bool open = false;           // open it; otherwise read and scan a chunk of it
  };

  void work(char* buffer);
  Task next_task(std::unique_lock<std::mutex>& lock);
  void open(File& file, std::unique_lock<std::mutex>& lock);
  void read_and_scan(File& file, char* buffer, std::unique_lock<std::mutex>& lock);
  Chunk read_chunk(File& file, char* buffer);
  bool readable(const File& file) const;
  void fail(File& file, platform::InputFile::Status status, Why why);
  void deposit(File& file, std::size_t chunk, Stretch piece);
  void commit();

  const KeywordSet& keywords_;
  const std::size_t overlap_;
  const std::size_t chunk_bytes_;
  // Places wanted: every keyword is counted over all the input, so the scan never stops early.
  const bool places_;
  std::size_t file_window_ = 0;   // files claimed beyond the earliest one not put together
  std::size_t chunk_window_ = 0;  // chunks of a file scanned beyond the first not put together

  std::mutex mutex_;  // everything below
  std::condition_variable changed_;
  InputWalk walk_;
  bool walk_done_ = false;
  std::size_t next_index_ = 0;  // of the next input the walk gives
  std::size_t frontier_ = 0;    // the inputs before it are put together in whole_
  std::map<std::size_t, std::shared_ptr<File>> files_;  // claimed and not yet put together
  Stretch whole_;                                       // the scanned text so far
  std::vector<fs::path> files_taken_;                   // in whole_, when places are wanted
  bool all_found_ = false;  // every keyword found: nothing more is read, inputs only opened
  unsigned busy_ = 0;       // threads at work outside the lock
  std::vector<std::pair<std::size_t, SkippedInput>> skipped_;
  struct Failure {
    std::size_t index;
    fs::path path;
    platform::InputFile::Status status;
  };
  std::optional<Failure> failure_;  // the earliest input given by name that failed
  std::exception_ptr error_;        // the first exception of any thread
};

void Scanner::run(std::vector<std::unique_ptr<char[]>>& buffers) {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    file_window_ = 4 * buffers.size() + 4;
    chunk_window_ = 2 * buffers.size() + 2;
  }
  // A thread the system refuses (no memory left for its stack, say) is one fewer, no more.
  try {
    threads.reserve(buffers.size());
    for (std::size_t i = 1; i < buffers.size(); ++i) {
      threads.emplace_back([this, buffer = buffers[i].get()] { work(buffer); });
    }
  } catch (const std::exception&) {
  }
  work(buffers[0].get());
  for (std::thread& thread : threads) thread.join();
  if (error_) std::rethrow_exception(error_);
}

void Scanner::work(char* buffer) {
  std::unique_lock lock(mutex_);
  for (;;) {
    Task task;
    try {
      task = next_task(lock);
    } catch (...) {  // the walk ran out of memory, say; the lock is held
      if (!error_) error_ = std::current_exception();
      changed_.notify_all();
      return;
    }
    if (!task.file) return;
    ++busy_;
    lock.unlock();
    try {
      if (task.open) {
        open(*task.file, lock);
      } else {
        read_and_scan(*task.file, buffer, lock);
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      if (!error_) error_ = std::current_exception();
    }
    --busy_;
    changed_.notify_all();
  }
}

Scanner::Task Scanner::next_task(std::unique_lock<std::mutex>& lock) {
  for (;;) {
    if (error_) return {};
    // The earliest file first, so that the text is put together as early as it can be.
    if (!all_found_ && !failure_) {
      for (const auto& [index, file] : files_) {
        if (readable(*file)) {
          ++file->readers;
          return {file, false};
        }
      }
    }
    if (!walk_done_ && !failure_ && (all_found_ || next_index_ - frontier_ < file_window_)) {
      std::optional<WalkItem> item = walk_.next();
      if (!item) {
        walk_done_ = true;
        continue;
      }
      const auto file =
          std::make_shared<File>(next_index_++, std::move(*item), keywords_.size(), places_);
      files_.emplace(file->index, file);
      if (!file->item.folder) return {file, true};
      fail(*file, platform::InputFile::Status::unreadable, Why::folder_unlisted);
      commit();
      continue;
    }
    if (busy_ == 0) return {};  // nothing to do, and no one at work who could make more
    changed_.wait(lock);
  }
}

// A thread joins others on a file only where its chunk lies within the file's size: a small
// file read by one thread is not waited on by another that would find nothing left.
bool Scanner::readable(const File& file) const {
  if (!file.open || file.read_all) return false;
  const std::uint64_t chunks = file.chunks + file.readers;
  return (file.readers == 0 || chunks * chunk_bytes_ < file.size) &&
         chunks - file.folded < chunk_window_;
}

void Scanner::open(File& file, std::unique_lock<std::mutex>& lock) {
  auto in = std::make_unique<platform::InputFile>(file.item.path);
  lock.lock();
  if (in->status() != platform::InputFile::Status::open) {
    fail(file, in->status(), why_skipped(in->status()));
  } else if (all_found_ || failure_) {
    file.read_all = true;  // opened only to tell whether it fails
  } else {
    std::lock_guard reading(file.reading);
    file.size = in->size();
    file.in = std::move(in);
    file.open = true;
  }
  commit();
}

void Scanner::read_and_scan(File& file, char* buffer, std::unique_lock<std::mutex>& lock) {
  const Chunk chunk = read_chunk(file, buffer);
  std::optional<Stretch> piece;
  if (chunk.got && chunk.status == platform::InputFile::Status::open) {
    piece = summarise(std::string_view(buffer, chunk.size), keywords_, overlap_, places_);
  }
  lock.lock();
  --file.readers;
  if (!chunk.got) return;
  if (!piece) {
    fail(file, chunk.status, why_skipped(chunk.status));
    piece.emplace(keywords_.size());
  }
  deposit(file, chunk.index, std::move(*piece));
  commit();
}

// Fills the buffer from the file, unless its end comes first; a file ends at its first zero
// byte. The last chunk may be empty.
Scanner::Chunk Scanner::read_chunk(File& file, char* buffer) {
  std::lock_guard reading(file.reading);
  Chunk chunk;
  if (file.read_all) return chunk;
  bool end = false;
  while (chunk.size < chunk_bytes_) {
    const std::size_t got = file.in->read(buffer + chunk.size, chunk_bytes_ - chunk.size);
    if (got == 0) {
      end = true;
      break;
    }
    chunk.size += got;
  }
  chunk.got = true;
  chunk.status = file.in->status();
  if (chunk.status != platform::InputFile::Status::open) {
    chunk.size = 0;
  } else if (const void* zero = std::memchr(buffer, 0, chunk.size)) {
    chunk.size = static_cast<std::size_t>(static_cast<const char*>(zero) - buffer);
    end = true;
  }
  chunk.index = file.chunks++;
  if (end || chunk.status != platform::InputFile::Status::open) {
    file.in.reset();
    file.read_all = true;
  }
  return chunk;
}

// An input given by name that fails fails the run; one met in a folder is left out.
void Scanner::fail(File& file, platform::InputFile::Status status, Why why) {
  file.failed = true;
  file.read_all = true;
  if (!file.item.named) {
    skipped_.emplace_back(file.index, SkippedInput{file.item.path, why});
  } else if (!failure_ || file.index < failure_->index) {
    failure_ = Failure{file.index, file.item.path, status};
  }
}

void Scanner::deposit(File& file, std::size_t chunk, Stretch piece) {
  if (chunk != file.folded) {
    file.waiting.emplace(chunk, std::move(piece));
    return;
  }
  append(file.text, piece, keywords_, overlap_);
  ++file.folded;
  for (auto next = file.waiting.begin(); next != file.waiting.end() && next->first == file.folded;
       next = file.waiting.erase(next)) {
    append(file.text, next->second, keywords_, overlap_);
    ++file.folded;
  }
}

// Puts the files that are done, from the earliest on, after the text so far.
void Scanner::commit() {
  if (all_found_) {  // nothing is put together any more: a file that is done just goes
    std::erase_if(files_, [](const auto& entry) { return entry.second->read_all.load(); });
    return;
  }
  while (!files_.empty() && files_.begin()->first == frontier_) {
    File& file = *files_.begin()->second;
    if (!file.read_all || file.folded != file.chunks) break;
    if (!file.failed) {
      if (file.text.places) {
        close_file(*file.text.places, files_taken_.size());
        files_taken_.push_back(file.item.path);
      }
      append(whole_, file.text, keywords_, overlap_);
    }
    files_.erase(files_.begin());
    ++frontier_;
  }
  // Once every keyword is found the report cannot change, whatever comes after: the file
  // being put together is taken as it stands. Counts and places need all of the input.
  if (places_) return;
  const File* first = files_.empty() ? nullptr : files_.begin()->second.get();
  const Stretch* current = first && !first->failed ? &first->text : nullptr;
  for (std::size_t k = 0; k < whole_.found.size(); ++k) {
    if (!whole_.found[k] && !(current && current->found[k])) return;
  }
  all_found_ = true;
}

ModeOutcome Scanner::outcome() {
  ModeOutcome outcome;
  if (failure_) outcome = input_failure(failure_->path, failure_->status);
  std::sort(skipped_.begin(), skipped_.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [index, skipped] : skipped_) {
    // After a failure only the inputs before it count: later ones may not have been reached.
    if (!failure_ || index < failure_->index) outcome.skipped.push_back(std::move(skipped));
  }
  return outcome;
}

}  // namespace

ModeOutcome scan_sources(Workspace& w, std::span<const fs::path> inputs,
                         const ScanSettings& settings, KeywordScan& scan) {
  const KeywordSet& keywords = scan.keywords();
  unsigned threads = settings.threads != 0 ? settings.threads : std::thread::hardware_concurrency();
  threads = std::clamp(threads, 1u, kMostThreads);
  const std::size_t chunk_bytes =
      settings.chunk_bytes != 0
          ? settings.chunk_bytes
          : std::clamp(kBytesInFlight / threads, kSmallestChunk, kLargestChunk);
  // Not zero-filled: a buffer costs memory only as far as chunks fill it. Without memory
  // for the first buffer the run fails; without one for another thread, it has one fewer.
  std::vector<std::unique_ptr<char[]>> buffers;
  buffers.reserve(threads);
  buffers.push_back(std::make_unique_for_overwrite<char[]>(chunk_bytes));
  try {
    while (buffers.size() < threads) {
      buffers.push_back(std::make_unique_for_overwrite<char[]>(chunk_bytes));
    }
  } catch (const std::bad_alloc&) {
  }
  Scanner scanner(inputs, keywords, chunk_bytes, settings.places);
  scanner.run(buffers);
  ModeOutcome outcome = scanner.outcome();
  if (outcome.status != ModeOutcome::Status::ok) return outcome;
  if (scanner.all_found()) {
    scan.add(std::vector<bool>(keywords.size(), true));
  } else {
    scan.add(scanner.whole().found);
  }
  if (settings.places) {
    scan.set_places({scanner.whole().places->keywords, scanner.take_files()});
  }
  scanned_text(w) = scanner.whole().tail;
  current_word(w) = scanner.whole().word;
  return outcome;
}

}  // namespace orven
