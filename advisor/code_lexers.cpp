// The lexers. Each walks a piece's bytes once, forward, in steps: a step reads the bytes of
// one mode up to where something may begin or end, and decides that from at most kLexAhead
// bytes after it (the piece's own or the `ahead` bytes after it). A token that begins in a
// piece and runs past its end (an escape, "*/", "<?php") leaves its class for the next
// piece's first bytes (LexState::carry). What looks back (the word before a quote) reads the
// piece and, at its start, the word the state carries.
//
// Where the whole-file lexers that came before read without bound, the bound is this file's
// (each says so where it applies): a raw string's delimiter of up to 16 bytes (as C++ has
// it), up to 16 blanks between "<<<" and a heredoc's label, a heredoc label of up to 256
// bytes (a longer one is never matched: the heredoc runs to the file's end), template
// literals nested in ${} up to 1024 deep (a deeper "${" is template text), and an unclosed
// "#include <" whose header name runs to the line's end.
#include "advisor/code_lexers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orven {

namespace {

enum CMode : std::uint8_t {
  c_code,
  c_line_comment,
  c_block_comment,
  c_string,
  c_raw_string,
  c_directive_blanks,  // after a line's "#"
  c_directive_name,
  c_include_blanks,  // after "#include"
  c_header,          // "<" … ">" after it
};

// HTML and the JavaScript of a page or a .js file.
enum PageMode : std::uint8_t {
  html_text,
  html_comment,
  html_tag,
  html_style,  // the text of a <style> element
  js_code,
  js_word,  // an identifier that the piece before ended in
  js_line_comment,
  js_block_comment,
  js_string,
  js_template,
  js_regex,
  js_regex_flags,
};

enum PhpMode : std::uint8_t {
  php_code,
  php_line_comment,
  php_block_comment,
  php_string,
  php_heredoc_label,
  php_heredoc_body,
  php_heredoc_line,  // blanks at the start of a heredoc's line
  php_heredoc_end,   // its label, being matched
};

constexpr std::size_t kLongestWord = 16;       // kept of LexState::word
constexpr std::size_t kLongestDelimiter = 16;  // a raw string's, as C++ allows
constexpr std::size_t kHeredocBlanks = 16;
constexpr std::size_t kLongestLabel = 256;
constexpr std::size_t kMostNested = 1024;  // template literals in ${}, parentheses

constexpr bool is_ident(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c >= 0x80;
}
constexpr bool is_word(int c) {
  return is_ident(c) || c == '$';
}
constexpr bool is_digit(int c) {
  return c >= '0' && c <= '9';
}
constexpr bool is_blank(int c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}
constexpr int lower(int c) {
  return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// The first byte at or after `from`, before `to`, that is one of `bytes`; `to` when there is
// none, and `from` when it is past `to` already (an escape at the piece's end took the
// next piece's first byte). Most modes run on to one of a few bytes: where the processor has SSE2
// (every x86-64 one) it looks at 16 bytes a step, elsewhere at eight in a word. For one byte too:
// the C library's memchr, a call each time, measured slower here (the bench's tree in code, 3%),
// where the byte sought is mostly a few dozen bytes away.
template <std::size_t N>
inline std::size_t find_any(const unsigned char* t, std::size_t from, std::size_t to,
                            const std::array<unsigned char, N>& bytes) {
  if (from >= to) return from;
#if defined(__SSE2__)
  if (to >= 16) {
    __m128i want[N];
#pragma GCC unroll 8
    for (std::size_t k = 0; k < N; ++k) want[k] = _mm_set1_epi8(static_cast<char>(bytes[k]));
    const auto hits = [&](std::size_t at) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + at));
      __m128i hit = _mm_cmpeq_epi8(block, want[0]);
#pragma GCC unroll 8
      for (std::size_t k = 1; k < N; ++k) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, want[k]));
      return static_cast<unsigned>(_mm_movemask_epi8(hit));
    };
    for (; from + 16 <= to; from += 16) {
      if (const unsigned mask = hits(from); mask != 0) {
        return from + static_cast<std::size_t>(std::countr_zero(mask));
      }
    }
    // The last bytes (all of them where they are fewer than 16): the 16 that end at `to`,
    // those before `from` left out.
    if (from == to) return to;
    const unsigned mask = hits(to - 16) >> (16 - (to - from));
    return mask != 0 ? from + static_cast<std::size_t>(std::countr_zero(mask)) : to;
  }
#else
  // Eight bytes a step: a byte of the word equal to one of `bytes` is zero after the xor, and
  // the lowest byte the zero test flags is the first such one (those above it may be flagged
  // falsely, never those below).
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    for (; from + 8 <= to; from += 8) {
      std::uint64_t word;
      std::memcpy(&word, t + from, sizeof word);
      std::uint64_t flags = 0;
#pragma GCC unroll 8
      for (const unsigned char b : bytes) {
        const std::uint64_t x = word ^ (kOnes * b);
        flags |= (x - kOnes) & ~x & kHighs;
      }
      if (flags != 0) return from + static_cast<std::size_t>(std::countr_zero(flags) / 8);
    }
  }
#endif
  for (; from < to; ++from) {
#pragma GCC unroll 8
    for (const unsigned char b : bytes) {
      if (t[from] == b) return from;
    }
  }
  return to;
}

// What a byte of JavaScript code does.
enum JsByte : std::uint8_t { js_skip, js_punct, js_word_byte, js_special };
constexpr std::array<JsByte, 256> kJsBytes = [] {
  std::array<JsByte, 256> table{};
  for (int c = 0; c < 256; ++c) {
    JsByte kind = js_punct;
    if (is_blank(c) || c == '\n') {
      kind = js_skip;
    } else if (is_word(c)) {
      kind = js_word_byte;
    } else if (std::string_view("/\"'`{}()]<").find(static_cast<char>(c)) !=
               std::string_view::npos) {
      kind = js_special;
    }
    table[static_cast<std::size_t>(c)] = kind;
  }
  return table;
}();

// What a "<" in a page's text begins, by the byte after it (-1, the file's end, first): text,
// a tag, a comment or a tag ("!"), a tag that may open a script or a style ("s").
enum LtNext : std::uint8_t { lt_text, lt_tag, lt_bang, lt_s };
constexpr std::array<LtNext, 257> kLtNext = [] {
  std::array<LtNext, 257> table{};
  for (int c = 0; c < 256; ++c) {
    LtNext kind = lt_text;
    if (lower(c) == 's') {
      kind = lt_s;
    } else if (c == '!') {
      kind = lt_bang;
    } else if ((lower(c) >= 'a' && lower(c) <= 'z') || c == '/' || c == '?') {
      kind = lt_tag;
    }
    table[static_cast<std::size_t>(c) + 1] = kind;
  }
  return table;
}();

// Words after which a slash begins a regular expression, not a division.
bool regex_may_follow(std::string_view word) {
  for (const std::string_view w : {"return", "typeof", "instanceof", "in", "of", "new", "delete",
                                   "void", "throw", "case", "do", "else", "yield", "await"}) {
    if (word == w) return true;
  }
  return false;
}
// Words whose "(" opens a condition, after whose ")" a slash begins a regular expression.
bool opens_condition(std::string_view word) {
  return word == "if" || word == "while" || word == "for" || word == "with";
}

// A word: its first kLongestWord bytes and its length.
struct Word {
  std::string text;
  std::uint64_t length = 0;
  bool is(std::string_view w) const { return length == w.size() && text == w; }
};

class Lexer {
 public:
  Lexer(LexState& s, std::string_view piece, std::string_view ahead, CodeClass* out)
      : s_(s),
        t_(reinterpret_cast<const unsigned char*>(piece.data())),
        n_(piece.size()),
        ahead_(reinterpret_cast<const unsigned char*>(ahead.data())),
        ahead_n_(ahead.size()),
        out_(out),
        limit_(n_),
        in_page_(s.language == Language::php || s.language == Language::html) {}

  void run();

 private:
  // The byte at j of the piece and what follows it; -1 past the file's end.
  int at(std::size_t j) const {
    if (j < n_) return t_[j];
    j -= n_;
    return j < ahead_n_ ? ahead_[j] : -1;
  }
  bool starts_nocase(std::size_t j, std::string_view w) const {
    for (std::size_t i = 0; i < w.size(); ++i) {
      if (lower(at(j + i)) != w[i]) return false;
    }
    return true;
  }
  // Gives the bytes from `from` to `to` the class; those past the piece are the next one's.
  void mark(std::size_t from, std::size_t to, CodeClass c) {
    const std::size_t stop = std::min(to, n_);
    if (from < stop) std::memset(out_ + from, static_cast<int>(c), stop - from);
    if (to > n_) {
      s_.carry = static_cast<std::uint8_t>(to - std::max(from, n_));
      s_.carry_class = c;
    }
  }
  std::size_t escape_end(std::size_t j) const;
  // A C or PHP block comment from i on, marked with the `opener` bytes before i that began
  // it: one past its "*/", or kNoEnd when the piece ends first.
  static constexpr std::size_t kNoEnd = static_cast<std::size_t>(-1);
  std::size_t block_comment(std::size_t i, std::size_t opener = 0) {
    for (std::size_t j = i;;) {
      j = find_any(t_, j, n_, std::array<unsigned char, 1>{'*'});
      if (j == n_) {
        mark(i - opener, n_, CodeClass::comment);
        return kNoEnd;
      }
      if (at(j + 1) == '/') {
        mark(i - opener, j + 2, CodeClass::comment);
        return j + 2;
      }
      ++j;
    }
  }
  // The rest of a C line comment from i on, marked: its line's end (a backslash before it
  // goes on to the next line), or kNoEnd when the piece ends first.
  std::size_t line_comment(std::size_t i, std::size_t opener = 0) {
    std::size_t j = i;
    while ((j = find_any(t_, j, n_, std::array<unsigned char, 2>{'\n', '\\'})) < n_ &&
           t_[j] != '\n') {
      const int next = at(j + 1);
      j += next < 0 ? 1 : next == '\r' && at(j + 2) == '\n' ? 3 : 2;
    }
    mark(i - opener, j, CodeClass::comment);
    return j < n_ ? j : kNoEnd;
  }
  // A run of code in a page, whose bytes were filled as its text.
  void code_run(std::size_t from, std::size_t to) {
    if (in_page_) mark(from, to, CodeClass::code);
  }
  Word word_before(std::size_t i) const;
  Word word_of(std::size_t from, std::size_t to, bool continued) const;
  std::size_t php_open(std::size_t i) const;
  void end_of_piece();

  std::size_t c_step(std::size_t i);
  std::size_t page_step(std::size_t i);
  std::size_t html_step(std::size_t i);
  std::size_t html_open(std::size_t i);
  std::size_t tag_end(std::size_t i);
  std::size_t js_step(std::size_t i);
  void after_word(const Word& word);
  void start_script();
  void end_script();
  bool ends_script(std::size_t j) const {
    return in_page_ && t_[j] == '<' && starts_nocase(j, "</script");
  }
  std::size_t php_step(std::size_t i);

  LexState& s_;
  const unsigned char* t_;
  std::size_t n_;
  const unsigned char* ahead_;
  std::size_t ahead_n_;
  CodeClass* out_;
  // The page's steps stop here: in a PHP file at the next "<", which may open PHP.
  std::size_t limit_;
  std::size_t next_lt_ = 0;
  const bool in_page_;
};

void Lexer::run() {
  std::size_t i = std::min<std::size_t>(s_.carry, n_);
  if (i != 0) std::memset(out_, static_cast<int>(s_.carry_class), i);
  s_.carry = static_cast<std::uint8_t>(s_.carry - i);
  while (i < n_) {
    switch (s_.language) {
      case Language::c:
        i = c_step(i);
        break;
      case Language::javascript:
      case Language::html:
        i = page_step(i);
        break;
      case Language::php:
        if (s_.php_on) {
          i = php_step(i);
          break;
        }
        // PHP opens wherever the page is: in its text, tags, comments and scripts alike.
        if (t_[i] == '<') {
          if (const std::size_t length = php_open(i)) {
            mark(i, i + length, CodeClass::open_tag);
            s_.php_on = true;
            s_.php_mode = php_code;
            i += length;
            break;
          }
        }
        if (next_lt_ <= i) next_lt_ = find_any(t_, i + 1, n_, std::array<unsigned char, 1>{'<'});
        limit_ = next_lt_;
        i = page_step(i);
        break;
      case Language::none:
        i = n_;
        break;
    }
  }
  end_of_piece();
}

// The length of the PHP open tag at i ("<?php", "<?=", or "<?" before a blank, a line's end
// or the file's end), or 0.
std::size_t Lexer::php_open(std::size_t i) const {
  if (at(i + 1) != '?') return 0;
  const int c = at(i + 2);
  if (lower(c) == 'p' && lower(at(i + 3)) == 'h' && lower(at(i + 4)) == 'p') return 5;
  if (c == '=') return 3;
  if (c < 0 || is_blank(c) || c == '\n') return 2;
  return 0;  // "<?xml" and the like
}

// Where an escape that begins at j ends: after the byte it escapes. In a page, not after a
// "<": that may end the script or open PHP.
std::size_t Lexer::escape_end(std::size_t j) const {
  const int next = at(j + 1);
  return next < 0 || (in_page_ && next == '<') ? j + 1 : j + 2;
}

Word Lexer::word_before(std::size_t i) const {
  std::size_t from = i;
  while (from > 0 && is_word(t_[from - 1])) --from;
  return word_of(from, i, from == 0);
}

// The word of the bytes from `from` to `to`, after the one the state carries when
// `continued`.
Word Lexer::word_of(std::size_t from, std::size_t to, bool continued) const {
  Word w;
  if (continued) {
    w.text = s_.word;
    w.length = s_.word_length;
  }
  w.length += to - from;
  if (w.text.size() < kLongestWord) {
    w.text.append(reinterpret_cast<const char*>(t_ + from),
                  std::min(to - from, kLongestWord - w.text.size()));
  }
  return w;
}

void Lexer::end_of_piece() {
  std::size_t from = n_;
  while (from > 0 && is_word(t_[from - 1])) --from;
  if (from != 0) {
    s_.word.clear();
    s_.word_length = 0;
  }
  const Word w = word_of(from, n_, true);
  s_.word = w.text;
  s_.word_length = w.length;
  for (std::size_t k = n_ > 2 ? n_ - 2 : 0; k < n_; ++k) {
    s_.before[1] = s_.before[0];
    s_.before[0] = t_[k];
  }
}

// --- C and C++ -------------------------------------------------------------------------

std::size_t Lexer::c_step(std::size_t i) {
  switch (s_.mode) {
    case c_code: {
      // Runs on over line ends to a byte that may begin something else. Only a "#" and the
      // end of the run ask whether the line so far holds blanks alone (comments leave
      // line_start as it was): the bytes back to the line's start, or to where the run
      // began with the state's line_start, tell. A comment that ends in the piece is read
      // here too, and the run goes on after it (the C lexer's most frequent switch).
      std::size_t from = i;
      const auto line_start_at = [&](std::size_t j) {
        while (j > from && is_blank(t_[j - 1])) --j;
        return j == from ? s_.line_start : t_[j - 1] == '\n';
      };
      for (;; ++i) {
        i = find_any(t_, i, n_, std::array<unsigned char, 4>{'/', '"', '\'', '#'});
        if (i == n_) {
          s_.line_start = line_start_at(n_);
          return n_;
        }
        if (t_[i] == '/') {
          const int next = at(i + 1);
          if (next == '/' || next == '*') {
            s_.line_start = line_start_at(i);
            const CMode mode = next == '/' ? c_line_comment : c_block_comment;
            if (i + 2 >= n_) {
              mark(i, i + 2, CodeClass::comment);
              s_.mode = mode;
              return i + 2;
            }
            const std::size_t end = next == '/' ? line_comment(i + 2, 2) : block_comment(i + 2, 2);
            if (end == kNoEnd) {  // marked to the piece's end
              s_.mode = mode;
              return n_;
            }
            if (end >= n_) {  // its "*/" ends the piece, or runs past it
              s_.mode = c_code;
              return end;
            }
            from = end;
            i = end - 1;
          }
          continue;
        }
        if (t_[i] != '#' || line_start_at(i)) break;
      }
      const int c = t_[i];
      if (c == '#') {
        s_.line_start = false;
        mark(i, i + 1, CodeClass::directive);
        s_.mode = c_directive_blanks;
        return i + 1;
      }
      // A quote.
      s_.line_start = false;
      const Word before = word_before(i);
      if (c == '\'' && before.length > 0 && is_digit(static_cast<unsigned char>(before.text[0]))) {
        return i + 1;  // a digit separator: 1'000
      }
      if (c == '"' && (before.is("R") || before.is("u8R") || before.is("uR") || before.is("UR") ||
                       before.is("LR"))) {
        for (std::size_t j = i + 1; j <= i + 1 + kLongestDelimiter && at(j) >= 0; ++j) {
          if (at(j) != '(') continue;
          s_.label.clear();
          for (std::size_t k = i + 1; k < j; ++k) s_.label += static_cast<char>(at(k));
          mark(i, j + 1, CodeClass::literal);
          s_.mode = c_raw_string;
          return j + 1;
        }
      }
      s_.page_quote = static_cast<char>(c);
      mark(i, i + 1, CodeClass::literal);
      s_.mode = c_string;
      return i + 1;
    }
    case c_line_comment: {
      const std::size_t end = line_comment(i);
      if (end != kNoEnd) s_.mode = c_code;
      return end != kNoEnd ? end : n_;
    }
    case c_block_comment: {
      const std::size_t end = block_comment(i);
      if (end != kNoEnd) s_.mode = c_code;
      return end != kNoEnd ? end : n_;
    }
    case c_string: {
      // To its closing quote; unclosed, to the line's end. A backslash escapes any byte.
      std::size_t j = i;
      const auto quote = static_cast<unsigned char>(s_.page_quote);
      while ((j = find_any(t_, j, n_, std::array<unsigned char, 3>{quote, '\n', '\\'})) < n_) {
        const int c = t_[j];
        if (c == quote) {
          mark(i, j + 1, CodeClass::literal);
          s_.mode = c_code;
          return j + 1;
        }
        if (c == '\n') {
          mark(i, j, CodeClass::literal);
          s_.mode = c_code;
          return j;
        }
        j += c == '\\' && at(j + 1) >= 0 ? 2 : 1;
      }
      mark(i, j, CodeClass::literal);
      return j;
    }
    case c_raw_string:
      for (std::size_t j = i;;) {
        const void* paren = std::memchr(t_ + j, ')', n_ - j);
        if (paren == nullptr) {
          mark(i, n_, CodeClass::literal);
          return n_;
        }
        j = static_cast<std::size_t>(static_cast<const unsigned char*>(paren) - t_);
        std::size_t k = 0;
        while (k < s_.label.size() && at(j + 1 + k) == static_cast<unsigned char>(s_.label[k])) ++k;
        if (k == s_.label.size() && at(j + 1 + k) == '"') {
          mark(i, j + k + 2, CodeClass::literal);
          s_.mode = c_code;
          return j + k + 2;
        }
        ++j;
      }
    case c_directive_blanks:
      while (i < n_ && is_blank(t_[i])) ++i;
      if (i == n_) return i;
      s_.label.clear();
      s_.mode = is_ident(t_[i]) ? c_directive_name : c_code;
      return i;
    case c_directive_name:
      while (i < n_ && is_ident(t_[i])) {
        if (s_.label.size() <= kLongestWord) s_.label += static_cast<char>(t_[i]);
        ++i;
      }
      if (i == n_) return i;
      s_.mode = s_.label == "include" || s_.label == "include_next" || s_.label == "import"
                    ? c_include_blanks
                    : c_code;
      return i;
    case c_include_blanks:
      while (i < n_ && is_blank(t_[i])) ++i;
      if (i == n_) return i;
      if (t_[i] != '<') {
        s_.mode = c_code;
        return i;
      }
      mark(i, i + 1, CodeClass::header);
      s_.mode = c_header;
      return i + 1;
    case c_header: {
      // To its ">"; unclosed, to the line's end.
      std::size_t j = i;
      while (j < n_ && t_[j] != '>' && t_[j] != '\n') ++j;
      const bool closed = j < n_ && t_[j] == '>';
      mark(i, j + (closed ? 1 : 0), CodeClass::header);
      if (j < n_) s_.mode = c_code;
      return j + (closed ? 1 : 0);
    }
    default:
      s_.mode = c_code;
      return i;
  }
}

// --- HTML ------------------------------------------------------------------------------

// The page's own modes run on from one into the next up to limit_; a step of JavaScript
// returns to the dispatcher.
std::size_t Lexer::page_step(std::size_t i) {
  do {
    i = html_step(i);
  } while (i < limit_ && s_.mode <= html_style);
  return i;
}

std::size_t Lexer::html_step(std::size_t i) {
  switch (s_.mode) {
    case html_text:
      // Text and the short tags in it, read here while the page stays in its text. In a PHP
      // file the step ends at the next "<" (limit_): no other one comes before it, and a step
      // begins at a "<" or in text before it. Where that "<" does not open PHP, the text goes
      // on past it with the next one as its limit.
      for (;;) {
        std::size_t j = 0;
        if (s_.language == Language::php) {
          j = t_[i] == '<' ? i : limit_;
          if (j == limit_) {
            if (j >= n_ || php_open(j) != 0) return j;
            next_lt_ = limit_ = find_any(t_, j + 1, n_, std::array<unsigned char, 1>{'<'});
          }
        } else {
          j = find_any(t_, i, limit_, std::array<unsigned char, 1>{'<'});
          if (j >= limit_) return j;
        }
        i = html_open(j);
        if (s_.mode != html_text || i >= limit_) return i;
      }
    case html_comment: {
      // To "-->", its dashes not those of its "<!--": the dashes right before a ">" (or the
      // piece's end), with those the state counted before i where all since are dashes.
      const auto dashes_before = [&](std::size_t j) {
        std::uint32_t dashes = 0;
        while (j > i && dashes < 2 && t_[j - 1] == '-') {
          --j;
          ++dashes;
        }
        return j == i ? std::min<std::uint32_t>(s_.dashes + dashes, 2) : dashes;
      };
      for (std::size_t j = i;; ++j) {
        j = find_any(t_, j, limit_, std::array<unsigned char, 1>{'>'});
        if (j == limit_) break;
        if (dashes_before(j) >= 2) {
          mark(i, j + 1, CodeClass::comment);
          s_.mode = html_text;
          return j + 1;
        }
      }
      s_.dashes = dashes_before(limit_);
      mark(i, limit_, CodeClass::comment);
      return limit_;
    }
    case html_tag:
      // To its ">", its quoted values literals.
      for (std::size_t j = i; j < limit_;) {
        if (s_.page_quote != 0) {
          const std::size_t end =
              find_any(t_, j, limit_, std::array{static_cast<unsigned char>(s_.page_quote)});
          mark(j, std::min(end + 1, limit_), CodeClass::literal);
          if (end == limit_) return limit_;
          s_.page_quote = 0;
          j = end + 1;
          continue;
        }
        const std::size_t end =
            find_any(t_, j, limit_, std::array<unsigned char, 3>{'"', '\'', '>'});
        mark(j, std::min(end + 1, limit_), CodeClass::tag);
        if (end == limit_) return limit_;
        if (t_[end] != '>') {
          out_[end] = CodeClass::literal;
          s_.page_quote = static_cast<char>(t_[end]);
          j = end + 1;
          continue;
        }
        return tag_end(end + 1);
      }
      return limit_;
    case html_style:
      // Text up to "</style".
      for (std::size_t j = i;;) {
        if (j < limit_ && t_[j] == '<' && starts_nocase(j, "</style")) {
          s_.mode = html_text;
          return j;
        }
        if (j + 1 >= limit_) return limit_;
        const void* lt = std::memchr(t_ + j + 1, '<', limit_ - j - 1);
        j = lt != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(lt) - t_)
                          : limit_;
      }
    default:
      return js_step(i);
  }
}

// A "<" in the page's text: a comment, a tag (a script's or a style's), or text.
std::size_t Lexer::html_open(std::size_t i) {
  // One look-up for what the byte after the "<" makes of it (a branch on the letter's case
  // and on "/" would guess wrong at half the tags of a page).
  const LtNext kind = kLtNext[static_cast<std::size_t>(at(i + 1) + 1)];
  if (kind == lt_text) return i + 1;
  s_.tag_kind = 0;
  if (kind != lt_tag) {
    if (kind == lt_bang && starts_nocase(i, "<!--")) {
      mark(i, i + 4, CodeClass::comment);
      s_.mode = html_comment;
      s_.dashes = 0;
      return i + 4;
    }
    if (kind == lt_s) {
      if (starts_nocase(i, "<script") && !is_ident(at(i + 7))) s_.tag_kind = 1;
      if (starts_nocase(i, "<style") && !is_ident(at(i + 6))) s_.tag_kind = 2;
    }
  }
  // Most tags hold no quoted value ("<p>", "</div>"): read to their ">" here. Where a quote
  // comes first, or the step's end, the tag's own step goes on from there.
  const std::size_t j = find_any(t_, i + 1, limit_, std::array<unsigned char, 3>{'"', '\'', '>'});
  s_.page_quote = 0;
  if (j == limit_ || t_[j] != '>') {
    mark(i, j, CodeClass::tag);
    s_.mode = html_tag;
    return j;
  }
  mark(i, j + 1, CodeClass::tag);
  return tag_end(j + 1);
}

// After a tag's ">": a script's, a style's or the text's mode.
std::size_t Lexer::tag_end(std::size_t i) {
  if (s_.tag_kind == 1) {
    start_script();
  } else {
    s_.mode = s_.tag_kind == 2 ? html_style : html_text;
  }
  return i;
}

// --- JavaScript ------------------------------------------------------------------------

void Lexer::start_script() {
  s_.mode = js_code;
  s_.regex_ok = true;
  s_.keyword_paren = false;
  s_.in_class = false;
  s_.braces = 0;
  s_.templates.clear();
  s_.parens.clear();
  s_.parens_over = 0;
}

void Lexer::end_script() {
  start_script();
  s_.mode = html_text;
}

void Lexer::after_word(const Word& word) {
  s_.regex_ok = word.length <= kLongestWord && regex_may_follow(word.text);
  s_.keyword_paren = word.length <= kLongestWord && opens_condition(word.text);
}

std::size_t Lexer::js_step(std::size_t i) {
  switch (s_.mode) {
    case js_code:
      for (std::size_t j = i; j < limit_;) {
        const int c = t_[j];
        switch (kJsBytes[static_cast<std::size_t>(c)]) {
          case js_skip:
            ++j;
            continue;
          case js_punct:
            s_.regex_ok = true;
            s_.keyword_paren = false;
            ++j;
            continue;
          case js_word_byte: {
            std::size_t end = j;
            while (end < n_ && is_word(t_[end])) ++end;
            if (end == n_) {  // it may go on in the next piece
              code_run(i, end);
              s_.mode = js_word;
              return end;
            }
            after_word(word_of(j, end, false));
            j = end;
            continue;
          }
          default:
            break;
        }
        switch (c) {
          case '/': {
            const int next = at(j + 1);
            if (next == '/' || next == '*') {
              code_run(i, j);
              mark(j, j + 2, CodeClass::comment);
              s_.mode = next == '/' ? js_line_comment : js_block_comment;
              return j + 2;
            }
            if (s_.regex_ok) {
              code_run(i, j);
              mark(j, j + 1, CodeClass::literal);
              s_.mode = js_regex;
              s_.in_class = false;
              return j + 1;
            }
            s_.regex_ok = true;  // a division
            break;
          }
          case '"':
          case '\'':
            code_run(i, j);
            mark(j, j + 1, CodeClass::literal);
            s_.page_quote = static_cast<char>(c);
            s_.mode = js_string;
            return j + 1;
          case '`':
            code_run(i, j);
            mark(j, j + 1, CodeClass::literal);
            s_.mode = js_template;
            return j + 1;
          case '{':
            ++s_.braces;
            s_.regex_ok = true;
            break;
          case '}':
            if (!s_.templates.empty() && s_.templates.back() == s_.braces) {
              s_.templates.pop_back();
              code_run(i, j);
              mark(j, j + 1, CodeClass::literal);
              s_.mode = js_template;
              return j + 1;
            }
            --s_.braces;
            s_.regex_ok = false;
            break;
          case '(':
            if (s_.parens.size() < kMostNested) {
              s_.parens.push_back(s_.keyword_paren);
            } else {
              ++s_.parens_over;
            }
            s_.regex_ok = true;
            break;
          case ')':
            // After the condition of an if, while, for or with a slash begins a regular
            // expression; after any other ")" it divides.
            s_.regex_ok = false;
            if (s_.parens_over > 0) {
              --s_.parens_over;
            } else if (!s_.parens.empty()) {
              s_.regex_ok = s_.parens.back();
              s_.parens.pop_back();
            }
            break;
          case ']':
            s_.regex_ok = false;
            break;
          case '<':
            if (ends_script(j)) {
              code_run(i, j);
              end_script();
              return j;
            }
            s_.regex_ok = true;
            break;
          default:
            break;
        }
        s_.keyword_paren = false;
        ++j;
      }
      code_run(i, limit_);
      return limit_;
    case js_word: {
      std::size_t end = i;
      while (end < n_ && is_word(t_[end])) ++end;
      code_run(i, end);
      if (end == n_) return end;
      after_word(word_of(i, end, i == 0));
      s_.mode = js_code;
      return end;
    }
    case js_line_comment:
      for (std::size_t j = i; j < limit_; ++j) {
        if (t_[j] == '\n' || ends_script(j)) {
          mark(i, j, CodeClass::comment);
          if (t_[j] == '\n') {
            s_.mode = js_code;
          } else {
            end_script();
          }
          return j;
        }
      }
      mark(i, limit_, CodeClass::comment);
      return limit_;
    case js_block_comment:
      for (std::size_t j = i; j < limit_; ++j) {
        if (t_[j] == '*' && at(j + 1) == '/') {
          mark(i, j + 2, CodeClass::comment);
          s_.mode = js_code;
          return j + 2;
        }
        if (ends_script(j)) {
          mark(i, j, CodeClass::comment);
          end_script();
          return j;
        }
      }
      mark(i, limit_, CodeClass::comment);
      return limit_;
    case js_string:
    case js_template:
    case js_regex: {
      const PageMode mode = static_cast<PageMode>(s_.mode);
      std::size_t j = i;
      while (j < limit_) {
        const int c = t_[j];
        if (ends_script(j)) {
          mark(i, j, CodeClass::literal);
          end_script();
          return j;
        }
        if (c == '\\') {
          j = escape_end(j);
          continue;
        }
        if (mode == js_string) {
          if (c == s_.page_quote || c == '\n') {
            const std::size_t end = c == '\n' ? j : j + 1;
            mark(i, end, CodeClass::literal);
            s_.mode = js_code;
            s_.regex_ok = false;
            s_.keyword_paren = false;
            return end;
          }
        } else if (mode == js_template) {
          if (c == '`') {
            mark(i, j + 1, CodeClass::literal);
            s_.mode = js_code;
            s_.regex_ok = false;
            s_.keyword_paren = false;
            return j + 1;
          }
          if (c == '$' && at(j + 1) == '{' && s_.templates.size() < kMostNested) {
            mark(i, j + 2, CodeClass::literal);
            s_.templates.push_back(s_.braces);
            s_.mode = js_code;
            s_.regex_ok = true;
            s_.keyword_paren = false;
            return j + 2;
          }
        } else {
          if (c == '[') {
            s_.in_class = true;
          } else if (c == ']') {
            s_.in_class = false;
          } else if (c == '\n' || (c == '/' && !s_.in_class)) {
            const std::size_t end = c == '\n' ? j : j + 1;
            mark(i, end, CodeClass::literal);
            s_.mode = c == '\n' ? js_code : js_regex_flags;
            s_.regex_ok = false;
            s_.keyword_paren = false;
            return end;
          }
        }
        ++j;
      }
      mark(i, j, CodeClass::literal);
      return j;
    }
    case js_regex_flags: {
      std::size_t j = i;
      while (j < limit_ && is_ident(t_[j])) ++j;
      mark(i, j, CodeClass::literal);
      if (j < n_) s_.mode = js_code;
      return j;
    }
    default:
      s_.mode = js_code;
      return i;
  }
}

// --- PHP -------------------------------------------------------------------------------

std::size_t Lexer::php_step(std::size_t i) {
  switch (s_.php_mode) {
    case php_code:
      for (std::size_t j = i;; ++j) {
        j = find_any(t_, j, n_, std::array<unsigned char, 7>{'?', '/', '#', '\'', '"', '`', '<'});
        if (j == n_) break;
        const int c = t_[j];
        code_run(i, j);  // the code up to here, once
        i = j;
        const int next = at(j + 1);
        if (c == '?' && next == '>') {
          mark(j, j + 2, CodeClass::open_tag);
          s_.php_on = false;
          return j + 2;
        }
        if (c == '/' && next == '*' && j + 2 < n_) {
          // A block comment, read here as C's code reads it.
          const std::size_t end = block_comment(j + 2, 2);
          if (end == kNoEnd) {
            s_.php_mode = php_block_comment;
            return n_;
          }
          if (end >= n_) return end;  // its "*/" ends the piece, or runs past it
          i = end;
          j = end - 1;
          continue;
        }
        if ((c == '/' && (next == '/' || next == '*')) || (c == '#' && next != '[')) {
          const std::size_t opener = c == '#' ? 1 : 2;
          mark(j, j + opener, CodeClass::comment);
          s_.php_mode = c == '/' && next == '*' ? php_block_comment : php_line_comment;
          return j + opener;
        }
        if (c == '\'' || c == '"' || c == '`') {
          mark(j, j + 1, CodeClass::literal);
          s_.php_quote = static_cast<char>(c);
          s_.in_var = false;
          s_.php_mode = php_string;
          return j + 1;
        }
        if (c == '<' && next == '<' && at(j + 2) == '<') {
          // A heredoc or nowdoc: its label within 16 blanks of the "<<<", in quotes or not.
          std::size_t k = j + 3;
          while (k < j + 3 + kHeredocBlanks && is_blank(at(k))) ++k;
          const int quote = at(k);
          if (quote == '\'' || quote == '"') ++k;
          if (is_ident(at(k))) {
            mark(j, k, CodeClass::literal);
            s_.label.clear();
            s_.label_long = false;
            s_.nowdoc = quote == '\'';
            s_.in_var = false;
            s_.php_mode = php_heredoc_label;
            return k;
          }
        }
      }
      code_run(i, n_);
      return n_;
    case php_line_comment:
      // To the line's end or the "?>" that ends PHP.
      for (std::size_t j = i;; ++j) {
        j = find_any(t_, j, n_, std::array<unsigned char, 2>{'\n', '?'});
        if (j == n_) break;
        if (t_[j] == '\n' || at(j + 1) == '>') {
          mark(i, j, CodeClass::comment);
          s_.php_mode = php_code;
          return j;
        }
      }
      mark(i, n_, CodeClass::comment);
      return n_;
    case php_block_comment: {
      const std::size_t end = block_comment(i);
      if (end != kNoEnd) s_.php_mode = php_code;
      return end != kNoEnd ? end : n_;
    }
    case php_heredoc_label: {
      std::size_t j = i;
      for (; j < n_ && is_ident(t_[j]); ++j) {
        if (s_.label.size() < kLongestLabel) {
          s_.label += static_cast<char>(t_[j]);
        } else {
          s_.label_long = true;
        }
      }
      mark(i, j, CodeClass::literal);
      if (j < n_) s_.php_mode = php_heredoc_body;
      return j;
    }
    case php_heredoc_line: {
      std::size_t j = i;
      while (j < n_ && is_blank(t_[j])) ++j;
      mark(i, j, CodeClass::literal);
      if (j < n_) {
        s_.matched = 0;
        s_.php_mode = php_heredoc_end;
      }
      return j;
    }
    case php_heredoc_end: {
      // The label as the line's first word ends the heredoc.
      std::size_t j = i;
      while (j < n_ && !s_.label_long && s_.matched < s_.label.size() &&
             t_[j] == static_cast<unsigned char>(s_.label[s_.matched])) {
        ++j;
        ++s_.matched;
      }
      mark(i, j, CodeClass::literal);
      if (s_.matched == s_.label.size() && !s_.label_long) {
        if (!is_ident(at(j))) {
          s_.php_mode = php_code;
          return j;
        }
      } else if (j == n_) {
        return j;  // the label may go on in the next piece
      }
      s_.php_mode = php_heredoc_body;
      return j;
    }
    default: {  // a string or a heredoc's body: literals, the variables it interpolates code
      const bool heredoc = s_.php_mode == php_heredoc_body;
      const bool interpolates = heredoc ? !s_.nowdoc : s_.php_quote != '\'';
      std::size_t j = i;
      while (j < n_) {
        const int c = t_[j];
        if (s_.in_var) {
          if (is_ident(c)) {
            out_[j++] = CodeClass::code;
            continue;
          }
          s_.in_var = false;
        }
        if (heredoc && c == '\n') {
          out_[j] = CodeClass::literal;
          s_.php_mode = php_heredoc_line;
          return j + 1;
        }
        if (!heredoc && c == s_.php_quote) {
          out_[j] = CodeClass::literal;
          s_.php_mode = php_code;
          return j + 1;
        }
        if (c == '\\' && (!heredoc || interpolates)) {
          const int next = at(j + 1);
          const std::size_t end = next < 0 || (heredoc && next == '\n') ? j + 1 : j + 2;
          mark(j, end, CodeClass::literal);
          j = end;
          continue;
        }
        if (c == '$' && interpolates && is_ident(at(j + 1)) && !is_digit(at(j + 1))) {
          s_.in_var = true;
          out_[j++] = CodeClass::code;
          continue;
        }
        out_[j++] = CodeClass::literal;
      }
      return j;
    }
  }
}

}  // namespace

LexState lex_start(Language language) {
  LexState state;
  state.language = language;
  state.mode = language == Language::c            ? std::uint8_t{c_code}
               : language == Language::javascript ? std::uint8_t{js_code}
                                                  : std::uint8_t{html_text};
  return state;
}

void lex_piece(LexState& state, std::string_view piece, std::string_view ahead, CodeClass* out) {
  // An empty piece may come with no array at all. A page is filled as its text (most of its
  // bytes), and its lexer marks the rest: its code too. Any other language is filled as code.
  const bool page = state.language == Language::php || state.language == Language::html;
  if (!piece.empty()) {
    std::memset(out, static_cast<int>(page ? CodeClass::text : CodeClass::code), piece.size());
  }
  Lexer(state, piece, ahead, out).run();
}

void classify(std::string_view text, Language language, std::vector<CodeClass>& out) {
  out.resize(text.size());
  LexState state = lex_start(language);
  lex_piece(state, text, {}, out.data());
}

std::vector<CodeClass> classify(std::string_view text, Language language) {
  std::vector<CodeClass> out;
  classify(text, language, out);
  return out;
}

}  // namespace orven
