#include "advisor/scan_fold.h"

#include <algorithm>
#include <utility>

#include "advisor/code_match.h"
#include "advisor/rule_index.h"
#include "advisor/suppression.h"

namespace orven {

namespace {

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

}  // namespace

ScanFold::ScanFold(const KeywordSet& keywords, bool code, bool places, const MarkerRules* markers)
    : keywords_(keywords),
      overlap_(std::max<std::size_t>(keywords.longest(), 1) - 1),
      code_(code),
      places_(places || code),
      markers_(places_ ? markers : nullptr),
      whole_(keywords.size(), places_),
      whole_cpp_(keywords.size(), places_),
      file_(0, places_),  // sized by its first stretch (append)
      line_(0, places_),
      settled_(std::make_unique<std::atomic<bool>[]>(2 * keywords.size())) {
  if (code_) kinds_ = kinds_of(keywords);
  // Never a first place to keep: its count in a segment only says to look for markers.
  if (markers_ != nullptr && markers_->marker_start < keywords.size()) {
    settled_[markers_->marker_start] = true;
  }
}

std::map<std::size_t, std::filesystem::path> ScanFold::take_files() {
  prune_files();
  std::map<std::size_t, std::filesystem::path> files;
  for (auto& [index, name] : files_taken_) {
    files.emplace(index, std::filesystem::path(std::move(name)));
  }
  return files;
}

void ScanFold::deposit(std::uint64_t number, ScanPiece piece) {
  if (all_found_) return;
  if (number != folded_) {
    pending_name_bytes_ += piece.file.size();
    pending_.emplace(number, std::move(piece));
    return;
  }
  for (;;) {
    const MarkerRules* markers = markers_;
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
      last_end_ = folded_;
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
void ScanFold::fold_file(ScanPiece& piece) {
  const MarkerRules* markers = markers_;
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
    std::optional<std::filesystem::path>& first = languages_[section == Section::web ? 0 : 1];
    if (section && !first) first = std::filesystem::path(piece.file);
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
void ScanFold::close_line(const ChunkLines& lines) {
  if (!line_.edges.has_bytes) return;
  if (markers_ != nullptr && line_.places) {
    turn_off(*line_.places, line_.edges, lines.first_off, *markers_);
  }
  append(file_, std::move(line_), keywords_, overlap_, markers_, kinds_);
  line_ = Stretch(0, places_);
}

// Keeps the names of the files that whole_'s places refer to: the first and last byte of
// each keyword's first occurrence (and of each pair's first left), and the tail, where an
// occurrence over the edge of the next file may begin. No other place of a file folded can
// ever be asked for.
void ScanFold::prune_files() {
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

}  // namespace orven
