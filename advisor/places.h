// Where the keywords occur, tracked by the scan in its one pass: for every keyword, how often
// it occurs and where its first occurrence begins and ends, by file, line and column. The
// scan cuts its text into stretches (chunks, files) and puts them back together in order;
// StretchPlaces is what a stretch keeps for that, next to its keyword answers, and joins as
// the stretches join, so that no byte is read twice.
//
// Lines are split at CR LF, LF and CR. A column counts the characters before a byte on its
// line: UTF-16 code units where the whole file is valid UTF-8, bytes otherwise. Until its
// file is done a place keeps both; a place in the middle of a stretch's first line counts its
// columns from the stretch's start, and is moved on when the stretch is put after another.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "advisor/display_width.h"
#include "advisor/keyword_kinds.h"
#include "advisor/rule_index.h"

namespace orven {

class KeywordSet;
class OccurrenceFilter;

// A byte of the input: its file (an index into the files the scan took, once the file is
// done), the line breaks before it in the file, and the characters before it on its line.
struct TextPlace {
  static constexpr std::size_t kOpen = std::numeric_limits<std::size_t>::max();
  std::size_t file = kOpen;
  std::uint64_t line = 0;   // from 0
  std::uint64_t bytes = 0;  // column in bytes, from 0; the column once the file is done
  std::uint64_t units = 0;  // column in UTF-16 code units, from 0
  // The display column (advisor/display_width.h) counting bytes and counting UTF-8
  // characters, from where the stretch's first line begins in it (column 0 of its line when
  // the byte is not on that first line); and once the file is done, the one that counts.
  DisplaySpan span_bytes;
  DisplaySpan span_chars;
  std::uint64_t display = 0;  // from 0

  friend bool operator==(const TextPlace&, const TextPlace&) = default;
};

// One keyword's occurrences: their number and the first and last byte of the first.
struct KeywordPlaces {
  std::uint64_t count = 0;
  TextPlace first;
  TextPlace last;
};

// UTF-8 validity as a map of a decoder's states across a stretch, so that the maps of two
// stretches put together give the map of the whole.
class Utf8Check {
 public:
  static constexpr std::uint8_t kAccept = 0;
  static constexpr std::uint8_t kReject = 1;
  static constexpr std::size_t kStates = 9;

  Utf8Check();  // the empty stretch: every state stays
  explicit Utf8Check(std::string_view bytes);
  void then(const Utf8Check& after);
  // A file is valid when decoding it from the start ends on a whole character.
  bool valid() const { return map_[kAccept] == kAccept; }

  // The same in two steps, for a pass over the bytes that does more on the way: begin
  // decodes the first bytes, up to where whole characters start at least three bytes in
  // (whole_from, the size when there is no such place); the pass tries every byte from there
  // on against the rule of each byte and the three before it (places.cpp), and finish, told
  // whether one broke it, decodes the last character.
  static Utf8Check begin(std::string_view bytes);
  std::size_t whole_from() const { return whole_from_; }
  void finish(std::string_view bytes, bool broken);

 private:
  std::array<std::uint8_t, kStates> map_;
  std::size_t whole_from_ = 0;
};

// A rule and a keyword that places its findings (advisor/suppression.h, MarkerRules).
struct RuleKeyword {
  std::size_t rule = 0;     // its number (advisor/rule_index.h)
  std::size_t keyword = 0;  // in the keyword set
  auto operator<=>(const RuleKeyword&) const = default;
};

// Where markers are honoured: for each rule and keyword some of whose occurrences markers
// turned off, the occurrences left (their count and the first of them). A pair not held
// here keeps all of its keyword's occurrences.
using LeftPlaces = std::map<RuleKeyword, KeywordPlaces>;

// Slot 0 keeps at most this much of the end of the last word.
inline constexpr std::size_t kWordKept = 256;

// What a stretch of the scanned text keeps at its edges, enough to join it to the stretch
// before it and the one after: a keyword across the seam lies within `overlap` bytes of
// words (the longest keyword's length less one) on either side, and a word may run on. The
// bytes, their CodeBytes, their places and the rules off at the tail's bytes are trimmed
// together, by join_edges alone.
struct Edges {
  bool has_bytes = false;      // not even whitespace, when false
  std::string head;            // its first `overlap` bytes of words, or all when fewer
  std::string tail;            // its last `overlap` bytes of words, or all when fewer
  std::string word;            // its last word, at most kWordKept bytes of the word's end
  bool word_at_start = false;  // that word begins with the stretch
  bool ends_in_word = false;   // and goes on to its end
  // Matched in code (a file of a language): the CodeBytes (advisor/code_match.h) of head's and
  // tail's bytes, so that an occurrence over a seam inside the file is checked as one inside a
  // chunk.
  bool code = false;
  std::string head_code;
  std::string tail_code;
  // With places: the places of head's and tail's bytes; with markers honoured, the rules
  // turned off on the line of each of tail's bytes (empty: none on any), for an occurrence
  // that begins there and runs on into the next stretch.
  std::vector<TextPlace> head_places;
  std::vector<TextPlace> tail_places;
  std::vector<RuleSet> tail_off;

  // Its bytes of words, counted up to `overlap`.
  std::size_t kept() const { return head.size(); }
};

struct StretchPlaces {
  explicit StretchPlaces(std::size_t keywords) : keywords(keywords) {}

  std::uint64_t breaks = 0;     // line breaks inside the stretch
  std::uint64_t end_bytes = 0;  // characters after its last break (or in all of it)
  std::uint64_t end_units = 0;
  DisplaySpan end_span_bytes;  // and its display columns there
  DisplaySpan end_span_chars;
  // A character cut by the stretch's edges: the bytes of one begun at its end, and the bytes
  // that go on one at its start (up to three each). A character cut so counts its display
  // width where it ends (join_places). only_conts: nothing but such bytes.
  std::string open_char;
  std::string lead_conts;
  bool only_conts = false;
  bool starts_with_lf = false;  // with a CR before it, that LF ends no line of its own
  bool ends_with_cr = false;
  bool counts_only = false;  // a whole file whose places no one can ask for (WholeFile)
  Utf8Check utf8;
  std::vector<KeywordPlaces> keywords;
  // With markers honoured: the pairs some of whose occurrences on the stretch's lines markers
  // turned off; and the rules that the orven-disable-file markers met in the stretch turn off
  // in its whole file, which its end applies (turn_off).
  LeftPlaces left;
  RuleSet file_off;
};

// How a place of a stretch b moves when b is put after a stretch a: its line after a's lines,
// its columns on a's last line when it is on b's first.
struct PlaceShift {
  const StretchPlaces& a;
  DisplaySpan span_bytes;  // a's last line's display columns, with a character cut by the seam
  DisplaySpan span_chars;
  bool lf_after_cr = false;  // a ends with CR and b begins with LF: one line break, not two
  TextPlace moved(TextPlace p) const;
};

// Puts b's edges after a's, as if the two had been one stretch: bytes, CodeBytes, places
// (moved by `shift`, see join_places) and the rules off at the tail, all trimmed to `overlap`
// in the same step, and the last word. Without `shift` the result keeps no places.
void join_edges(Edges& a, const Edges& b, std::size_t overlap, const PlaceShift* shift = nullptr);

// A chunk that is a whole file, and what the scan knows of the files before it: the keywords
// whose first occurrence one of them holds (by keyword, non-zero), and the chunk's head and
// tail as its Edges keep them. When every other keyword neither occurs in the chunk nor can
// run over its edges, none of the chunk's places can ever be a first place: it keeps its
// counts only, and its lines are not counted.
struct WholeFile {
  std::span<const std::uint8_t> settled;
  std::string_view head;
  std::string_view tail;
  // The words just before and just after the file in the input, at least a keyword's length
  // less one of them, where the scan knows them: an occurrence runs over an edge into them
  // or not at all. Where they are not known, any keyword that could is taken to.
  const std::string* before = nullptr;
  const std::string* after = nullptr;
  // Matched in code, where nothing counts over the edge of two files: no occurrence runs over
  // its edges, whatever lies beyond them.
  bool edges_closed = false;
};

// The places of one chunk of a file: its keyword occurrences (found with the keyword set's
// count, those `keep` keeps when given), its lines, and the places of the bytes its head and
// tail keep (their offsets in the chunk, in order). With `whole`, only the counts when no
// place can be wanted (above). The places of head's and tail's bytes go into `edges`.
StretchPlaces chunk_places(std::string_view chunk, const KeywordSet& keywords, Edges& edges,
                           const std::vector<std::size_t>& head_offsets,
                           const std::vector<std::size_t>& tail_offsets,
                           const WholeFile* whole = nullptr,
                           const OccurrenceFilter* keep = nullptr);

struct MarkerRules;

// What the scan's reader knows of a chunk's lines when markers are honoured and the chunk is
// one of several of a file (which the reader cuts after a line break where it can, see
// scan_reader.cpp): the rules that markers outside the chunk turn off on its first and second
// line, and whether its first line is the end of one that began in an earlier chunk, whose
// markers the reader read (none are looked for there again).
struct ChunkLines {
  bool open_line = false;    // no line ends in the chunk and its line goes on: the fold decides
  bool closes_line = false;  // its first line began in an earlier chunk
  RuleSet first_off;
  RuleSet second_off;
  RuleSet file_off;  // orven-disable-file markers read on a line that closes here (for the fold)
};

// With markers honoured, after chunk_places: the markers of the chunk (where its words hold
// kMarkerStart) with `lines`, and where they turn rules off on lines of the chunk, the
// occurrences left for each pair, and the rules off at the tail's bytes (tail_offsets as
// chunk_places took them). A chunk with an open line is left to the fold. Matched in code,
// `keep` says which occurrences count at all.
void chunk_markers(StretchPlaces& places, Edges& edges, std::string_view chunk,
                   const KeywordSet& keywords, const MarkerRules& rules,
                   const std::vector<std::size_t>& tail_offsets, const ChunkLines& lines,
                   const OccurrenceFilter* keep = nullptr);

// Turns the rules off for every occurrence the stretch holds (an orven-disable-file marker
// at its file's end; the markers of a long line once the fold knows them), and at its tail.
void turn_off(StretchPlaces& places, Edges& edges, const RuleSet& off, const MarkerRules& rules);

// Puts b after a (their places and their edges, which join_edges joins): occurrences across
// the seam, in the whitespace-free bytes the two keep there, are counted and placed, unless
// `seam` is false (two files matched in code). Matched in code (a's edges have CodeBytes),
// `kinds` say what each keyword must be to count over the seam.
// With markers honoured (`rules`), an occurrence across the seam counts for the rules that
// a's tail_off leaves on at its first byte, and the pairs that either holds are joined.
void join_places(StretchPlaces& a, Edges& a_edges, const StretchPlaces& b, const Edges& b_edges,
                 std::size_t overlap, bool seam, const KeywordSet& keywords,
                 const MarkerRules* rules = nullptr, std::span<const KeywordKind> kinds = {});

// A file done: its places get the file's index and their columns by its validity.
void close_file(StretchPlaces& places, Edges& edges, std::size_t file);

// What a scan with places leaves: per keyword of the set, and by index the files whose
// places may be asked for (not those that kept their counts only).
struct ScanPlaces {
  std::vector<KeywordPlaces> keywords;
  LeftPlaces left;  // with markers honoured
  std::map<std::size_t, std::filesystem::path> files;
};

}  // namespace orven
