#include "advisor/scan_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "advisor/code_lexers.h"
#include "advisor/suppression.h"

namespace orven {

namespace fs = std::filesystem;

namespace {

using Why = SkippedInput::Why;

// With markers honoured, the reader's view of the lines of a file that it reads in several
// chunks: it cuts each chunk after its last line break (the bytes after it begin the next
// chunk), so that the markers of a line and the occurrences they turn off lie in one chunk,
// which a scanner reads alone. What one line's markers do to the next line the reader carries
// over (ChunkLines::first_off). A line longer than a chunk is the exception: its chunks hold no
// break, the reader reads their markers as it goes (MarkerStream) and tells the chunk where the
// line ends, and the fold holds the line's occurrences until then (ScanFold's line_).
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

// Whether an input stands for standard input.
bool is_dash(const fs::path& input) {
  return input.native().size() == 1 && input.native()[0] == '-';
}

}  // namespace

ScanReader::ScanReader(std::span<const fs::path> inputs, const WalkOptions& walk,
                       const ReaderSettings& settings, ReaderOutlet& outlet)
    : inputs_(inputs), walk_options_(walk), settings_(settings), outlet_(outlet) {
  if (settings_.stdin_name.empty()) settings_.stdin_name = "-";
}

ModeOutcome ScanReader::outcome() {
  ModeOutcome outcome;
  if (failure_) outcome = input_failure(failure_->path, failure_->status);
  if (output_met_) outcome = output_is_input(*output_met_, walk_options_.output);
  outcome.skipped = std::move(skipped_);
  return outcome;
}

void ScanReader::read_all() {
  for (std::size_t i = 0; i < inputs_.size() && !failure_ && !output_met_;) {
    if (settings_.dash_is_stdin && is_dash(inputs_[i])) {
      ++i;
      if (stdin_read_) continue;  // read once: it has no more to give
      stdin_read_ = true;
      outlet_.check();
      WalkItem item;
      item.path = settings_.stdin_name;
      item.named = true;
      read_file(item, platform::InputFile::standard_input(settings_.stdin_name));
      continue;
    }
    std::size_t end = i;
    while (end < inputs_.size() && !(settings_.dash_is_stdin && is_dash(inputs_[end]))) ++end;
    walk_.emplace(inputs_.subspan(i, end - i), walk_options_);
    read_walk();
    i = end;
  }
}

void ScanReader::read_walk() {
  using What = WalkItem::What;
  while (std::optional<WalkItem> item = walk_->next()) {
    outlet_.check();
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
void ScanReader::skip(const WalkItem& item, Why why, platform::InputFile::Status status) {
  if (item.named) {
    failure_ = Failure{item.path, status};
  } else {
    skipped_.push_back(SkippedInput{item.path, why});
  }
}

void ScanReader::read_file(const WalkItem& item, std::unique_ptr<platform::InputFile> in) {
  if (!in) in = item.named ? std::make_unique<platform::InputFile>(item.path) : walk_->open_last();
  if (in->status() != platform::InputFile::Status::open) {
    skip(item, why_skipped(in->status()), in->status());
    return;
  }
  if (!item.named && is_own_output(*in)) return;  // a report of an earlier run: not a source
  // Matched in code, a file of a language is lexed: each segment but the last is followed in
  // its buffer by kLexAhead bytes of the file for the lexer, carried to begin the next one.
  const Language language = settings_.code ? language_of(item.path) : Language::none;
  const std::size_t carried_most = language != Language::none ? kLexAhead : 0;
  std::uint64_t file_bytes = 0;
  LineCutter cutter;  // with markers honoured, for a file in several chunks
  std::string carry;  // the bytes after the last line break of the chunk before
  for (bool first = true;; first = false) {
    // With places, a file that a buffer can hold whole is not split over two (WholeFile); the
    // bytes carried over, with one more, always fit, and in code more than twice the lexer's
    // look ahead.
    const std::span<char> space =
        room(first && settings_.places ? in->size() : 0,
             std::max(carry.empty() ? 0 : carry.size() + 1, 2 * carried_most + 1));
    if (outlet_.all_found()) {  // the report is settled: the rest of the input is not read
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
    if (settings_.markers && !(first && end)) cut = cutter.cut({space.data(), cut}, end, lines);
    carry.assign(space.data() + cut, size - cut);
    add_segment(cut, first && end, lines, language, first, end && cut == size,
                std::min(carried_most, size - cut));
    if (end) break;
  }
  in.reset();  // closed as soon as it is done
  read_any_ = true;
  end_file(false, item.path, settings_.markers ? cutter.at_end() : ChunkLines{}, language);
}

// Where the next bytes go: the rest of the buffer being filled, or a fresh buffer once too
// little of it is left (less than `least` bytes or a sixteenth of a buffer), or too little for
// a file of `whole` bytes (when not 0) that a fresh one holds. A segment starts on a cache
// line, which the kernel copies into fastest (see kBufferAlignment).
std::span<char> ScanReader::room(std::uint64_t whole, std::size_t least) {
  constexpr std::size_t kLine = 64;
  least = std::max({least, settings_.buffer_bytes / 16, std::size_t{1}});
  const std::size_t start = (filled_ + kLine - 1) / kLine * kLine;
  if (filling_.buffer == nullptr || start >= settings_.buffer_bytes ||
      settings_.buffer_bytes - start < least ||
      (whole > settings_.buffer_bytes - start && whole <= settings_.buffer_bytes)) {
    outlet_.next_buffer(filling_, next_number_);
    filled_ = 0;
    return {filling_.buffer, settings_.buffer_bytes};
  }
  filled_ = start;
  return {filling_.buffer + start, settings_.buffer_bytes - start};
}

void ScanReader::add_segment(std::size_t size, bool whole_file, const ChunkLines& lines,
                             Language language, bool first, bool last, std::size_t ahead) {
  if (outlet_.all_found() || size == 0) return;  // nothing to scan: read only to see that it reads
  const std::size_t offset = filled_;
  filling_.segments.push_back(
      {next_number_++, offset, size, whole_file, language, first, last, ahead, lines});
  filled_ = offset + size + ahead;
}

void ScanReader::end_file(bool dropped, const fs::path& file, const ChunkLines& lines,
                          Language language) {
  outlet_.end_file(FileEnd{next_number_++, dropped, &file, language, lines}, filling_);
}

}  // namespace orven
