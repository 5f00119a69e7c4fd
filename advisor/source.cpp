// Loading the source: every word of the file, joined without separator, into slot 200. The
// file is read in large chunks and stripped of whitespace in one tight loop; the result is
// the same as reading it word by word, which a large source could not afford.
#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/advisor.h"
#include "base/platform.h"
#include "base/whitespace.h"

namespace orven {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

// Appends the bytes of chunk that are not whitespace. Every byte is stored and the end
// advances only past the kept ones: no branch, since a source is mostly short words.
void append_without_whitespace(std::string& scanned, std::string_view chunk) {
  const std::size_t old_size = scanned.size();
  scanned.resize(old_size + chunk.size());
  char* const out = scanned.data() + old_size;
  std::size_t kept = 0;
  for (const char c : chunk) {
    out[kept] = c;
    kept += !is_whitespace(c);
  }
  scanned.resize(old_size + kept);
}

// The last word read so far, which may run across chunks. Only its length is kept: its
// bytes are the end of the scanned text.
struct LastWord {
  std::size_t length = 0;  // of the last word seen
  bool open = false;       // the text so far ends inside that word

  void follow(std::string_view chunk) {
    std::size_t end = chunk.size();
    while (end > 0 && is_whitespace(chunk[end - 1])) --end;
    if (end == 0) {  // whitespace only: the last word stays, but it is over
      open = false;
      return;
    }
    std::size_t begin = end;
    while (begin > 0 && !is_whitespace(chunk[begin - 1])) --begin;
    length = end - begin + (begin == 0 && open ? length : 0);
    open = end == chunk.size();
  }
};

}  // namespace

ModeOutcome load_source(Workspace& w, const std::filesystem::path& source) {
  platform::InputFile in(source);
  if (in.status() != platform::InputFile::Status::open) return input_failure(source, in.status());
  std::string& scanned = scanned_text(w);
  // Room for the whole file at once: growing by doubling would need twice its size.
  if (in.size() <= scanned.max_size() - scanned.size()) {
    scanned.reserve(scanned.size() + static_cast<std::size_t>(in.size()));
  }
  // A small file needs no large chunk.
  std::vector<char> chunk(std::clamp<std::uint64_t>(in.size() + 1, 4096, kChunkSize));
  LastWord last_word;
  while (const std::size_t count = in.read(chunk.data(), chunk.size())) {
    const std::string_view piece(chunk.data(), count);
    append_without_whitespace(scanned, piece);
    last_word.follow(piece);
  }
  if (in.status() != platform::InputFile::Status::open) return input_failure(source, in.status());
  if (last_word.length > 0) {
    current_word(w).assign(scanned, scanned.size() - last_word.length);
  }
  return {};
}

}  // namespace orven
