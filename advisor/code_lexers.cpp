// The lexers. Each walks the bytes once, forward, and never looks back further than the
// identifier before a quote (raw-string and character prefixes, digit separators) or the
// last word before a slash (regular expression or division).
#include "advisor/code_lexers.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace orven {

namespace {

using Classes = std::vector<CodeClass>;
constexpr std::size_t npos = std::string_view::npos;

bool is_ident(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c >= 0x80;
}
bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}
char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// Whether text at `at` begins with `word`, letters of any case.
bool starts_nocase(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (lower(text[at + i]) != word[i]) return false;
  }
  return true;
}
void fill(Classes& out, std::size_t from, std::size_t to, CodeClass c) {
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(from),
            out.begin() + static_cast<std::ptrdiff_t>(to), c);
}
// The identifier that ends just before `at`.
std::string_view word_before(std::string_view t, std::size_t at) {
  std::size_t s = at;
  while (s > 0 && is_ident(static_cast<unsigned char>(t[s - 1]))) --s;
  return t.substr(s, at - s);
}

// The end of a C-style block comment that starts at `at`, or the text's end when unclosed.
std::size_t block_comment_end(std::string_view t, std::size_t at) {
  const std::size_t end = t.find("*/", at + 2);
  return end == npos ? t.size() : end + 2;
}

// --- C and C++ -------------------------------------------------------------------------

// The end of a quoted literal that starts at `at` (its quote), escapes and line
// continuations inside; it ends at its closing quote or, unclosed, at the line's end.
std::size_t quoted_end(std::string_view t, std::size_t at, char quote) {
  std::size_t j = at + 1;
  while (j < t.size() && t[j] != quote && t[j] != '\n') j += t[j] == '\\' ? 2 : 1;
  return j < t.size() && t[j] == quote ? j + 1 : std::min(j, t.size());
}

void lex_c(std::string_view t, Classes& out) {
  const std::size_t n = t.size();
  bool line_start = true;  // nothing but blanks and comments since the line began
  for (std::size_t i = 0; i < n;) {
    const char c = t[i];
    if (c == '\n') {
      line_start = true;
      ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && t[i + 1] == '/') {
      std::size_t j = i;
      while (j < n && t[j] != '\n') j += t[j] == '\\' && j + 1 < n ? 2 : 1;
      j = std::min(j, n);
      fill(out, i, j, CodeClass::comment);
      i = j;
      continue;
    }
    if (c == '/' && i + 1 < n && t[i + 1] == '*') {
      const std::size_t j = block_comment_end(t, i);
      fill(out, i, j, CodeClass::comment);
      i = j;
      continue;
    }
    if (c == '"' || c == '\'') {
      line_start = false;
      const std::string_view before = word_before(t, i);
      if (c == '\'' && !before.empty() && before[0] >= '0' && before[0] <= '9') {
        ++i;  // a digit separator: 1'000
        continue;
      }
      std::size_t j = npos;
      if (c == '"' && (before == "R" || before == "u8R" || before == "uR" || before == "UR" ||
                       before == "LR")) {
        const std::size_t open = t.find('(', i + 1);
        if (open != npos && open - i - 1 <= 16) {
          const std::string close = ")" + std::string(t.substr(i + 1, open - i - 1)) + "\"";
          const std::size_t end = t.find(close, open + 1);
          j = end == npos ? n : end + close.size();
        }
      }
      if (j == npos) j = quoted_end(t, i, c);
      fill(out, i, j, CodeClass::literal);
      i = j;
      continue;
    }
    if (c == '#' && line_start) {
      line_start = false;
      out[i] = CodeClass::directive;
      std::size_t j = i + 1;
      while (j < n && is_blank(t[j])) ++j;
      std::size_t name_end = j;
      while (name_end < n && is_ident(static_cast<unsigned char>(t[name_end]))) ++name_end;
      const std::string_view name = t.substr(j, name_end - j);
      i = name_end;
      if (name == "include" || name == "include_next" || name == "import") {
        std::size_t k = name_end;
        while (k < n && is_blank(t[k])) ++k;
        if (k < n && t[k] == '<') {
          std::size_t end = k + 1;
          while (end < n && t[end] != '>' && t[end] != '\n') ++end;
          if (end < n && t[end] == '>') {
            fill(out, k, end + 1, CodeClass::header);
            i = end + 1;
          }
        }
      }
      continue;
    }
    if (!is_blank(c)) line_start = false;
    ++i;
  }
}

// --- JavaScript ------------------------------------------------------------------------

// Words after which a slash begins a regular expression, not a division.
bool regex_may_follow_word(std::string_view word) {
  for (const std::string_view w : {"return", "typeof", "instanceof", "in", "of", "new", "delete",
                                   "void", "throw", "case", "do", "else", "yield", "await"}) {
    if (word == w) return true;
  }
  return false;
}

// Lexes JavaScript from `i` up to `to`, or in a page's <script> up to its "</script" (then
// `in_page`); bytes marked in `skip` (PHP inside the script) are passed over. Returns where
// it stopped.
std::size_t lex_js(std::string_view t, Classes& out, std::size_t i, std::size_t to, bool in_page,
                   const std::vector<bool>* skip) {
  std::vector<int> templates;  // per template literal open in code: the braces open in it
  int braces = 0;
  bool regex_ok = true;
  bool in_template = false;
  const auto skipped = [&](std::size_t at) { return skip != nullptr && (*skip)[at]; };
  const auto ends_script = [&](std::size_t at) {
    return in_page && t[at] == '<' && starts_nocase(t, at, "</script");
  };
  while (i < to) {
    if (skipped(i)) {
      ++i;
      continue;
    }
    if (ends_script(i)) return i;
    if (in_template) {  // inside a template literal's text
      if (t[i] == '\\') {
        out[i] = CodeClass::literal;
        if (i + 1 < to) out[i + 1] = CodeClass::literal;
        i += 2;
      } else if (t[i] == '`') {
        out[i++] = CodeClass::literal;
        in_template = false;
        regex_ok = false;
      } else if (t[i] == '$' && i + 1 < to && t[i + 1] == '{') {
        out[i] = out[i + 1] = CodeClass::literal;
        i += 2;
        templates.push_back(braces);
        in_template = false;
        regex_ok = true;
      } else {
        out[i++] = CodeClass::literal;
      }
      continue;
    }
    const char c = t[i];
    const auto run = [&](std::size_t j, CodeClass cls) {
      j = std::min(j, to);
      for (std::size_t k = i; k < j; ++k) {
        if (!skipped(k)) out[k] = cls;
      }
      i = j;
    };
    // The end of a run that stops at `stop` or at the script's end.
    const auto until = [&](std::size_t from, auto&& stop) {
      std::size_t j = from;
      while (j < to && !ends_script(j) && !stop(j)) ++j;
      return j;
    };
    if (c == '/' && i + 1 < to && t[i + 1] == '/') {
      run(until(i, [&](std::size_t j) { return t[j] == '\n'; }), CodeClass::comment);
      continue;
    }
    if (c == '/' && i + 1 < to && t[i + 1] == '*') {
      const std::size_t j =
          until(i + 2, [&](std::size_t k) { return t[k - 1] == '*' && t[k] == '/' && k > i + 2; });
      run(j < to && t[j] == '/' ? j + 1 : j, CodeClass::comment);
      continue;
    }
    if (c == '"' || c == '\'') {
      bool escaped = false;
      const std::size_t j = until(i + 1, [&](std::size_t k) {
        if (escaped) return escaped = false;
        if (t[k] == '\\') return !(escaped = true);
        return t[k] == c || t[k] == '\n';
      });
      run(j < to && t[j] == c ? j + 1 : j, CodeClass::literal);
      regex_ok = false;
      continue;
    }
    if (c == '`') {
      out[i++] = CodeClass::literal;
      in_template = true;
      continue;
    }
    if (c == '/' && regex_ok) {
      bool escaped = false;
      bool in_class = false;
      std::size_t j = until(i + 1, [&](std::size_t k) {
        if (escaped) return escaped = false;
        if (t[k] == '\\') return !(escaped = true);
        if (t[k] == '[') in_class = true;
        if (t[k] == ']') in_class = false;
        return t[k] == '\n' || (t[k] == '/' && !in_class);
      });
      if (j < to && t[j] == '/') {
        ++j;
        while (j < to && is_ident(static_cast<unsigned char>(t[j]))) ++j;  // its flags
      }
      run(j, CodeClass::literal);
      regex_ok = false;
      continue;
    }
    if (c == '{') {
      ++braces;
    } else if (c == '}') {
      if (!templates.empty() && templates.back() == braces) {
        templates.pop_back();
        out[i++] = CodeClass::literal;
        in_template = true;
        continue;
      }
      --braces;
    }
    const unsigned char u = static_cast<unsigned char>(c);
    if (is_ident(u) || c == '$') {
      std::size_t j = i;
      while (j < to && !skipped(j) && (is_ident(static_cast<unsigned char>(t[j])) || t[j] == '$')) {
        ++j;
      }
      regex_ok = regex_may_follow_word(t.substr(i, j - i));
      i = j;
      continue;
    }
    if (!is_blank(c) && c != '\n') regex_ok = !(c == ')' || c == ']' || c == '}');
    ++i;
  }
  return i;
}

// --- HTML ------------------------------------------------------------------------------

// Lexes a page from `from` on; bytes marked in `skip` (PHP) are passed over.
void lex_html(std::string_view t, Classes& out, const std::vector<bool>* skip) {
  const std::size_t n = t.size();
  const auto skipped = [&](std::size_t at) { return skip != nullptr && (*skip)[at]; };
  for (std::size_t i = 0; i < n;) {
    if (skipped(i)) {
      ++i;
      continue;
    }
    if (t[i] != '<') {
      out[i++] = CodeClass::text;
      continue;
    }
    if (t.compare(i, 4, "<!--") == 0) {
      const std::size_t end = t.find("-->", i + 4);
      const std::size_t j = end == npos ? n : end + 3;
      for (std::size_t k = i; k < j; ++k) {
        if (!skipped(k)) out[k] = CodeClass::comment;
      }
      i = j;
      continue;
    }
    const char next = i + 1 < n ? t[i + 1] : '\0';
    const bool letter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
    if (!letter && next != '/' && next != '!' && next != '?') {
      out[i++] = CodeClass::text;
      continue;
    }
    // A tag, up to its ">", its quoted attribute values literals.
    const bool script = starts_nocase(t, i, "<script") &&
                        (i + 7 >= n || !is_ident(static_cast<unsigned char>(t[i + 7])));
    const bool style = starts_nocase(t, i, "<style") &&
                       (i + 6 >= n || !is_ident(static_cast<unsigned char>(t[i + 6])));
    char quote = 0;
    std::size_t j = i;
    for (; j < n; ++j) {
      if (skipped(j)) continue;
      const char c = t[j];
      if (quote != 0) {
        out[j] = CodeClass::literal;
        if (c == quote) quote = 0;
        continue;
      }
      out[j] = CodeClass::tag;
      if (c == '"' || c == '\'') {
        out[j] = CodeClass::literal;
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
    i = std::min(j + 1, n);
    if (script && i < n) {
      i = lex_js(t, out, i, n, true, skip);
    } else if (style && i < n) {
      while (i < n && !(t[i] == '<' && starts_nocase(t, i, "</style"))) {
        if (!skipped(i)) out[i] = CodeClass::text;
        ++i;
      }
    }
  }
}

// --- PHP -------------------------------------------------------------------------------

// Marks the variables a double-quoted string or heredoc interpolates ("$name") as code.
void interpolated(std::string_view t, Classes& out, std::size_t from, std::size_t to) {
  for (std::size_t k = from; k + 1 < to; ++k) {
    if (t[k] == '\\') {
      ++k;
      continue;
    }
    const unsigned char next = static_cast<unsigned char>(t[k + 1]);
    if (t[k] != '$' || !(is_ident(next) && !(next >= '0' && next <= '9'))) continue;
    std::size_t end = k + 1;
    while (end < to && is_ident(static_cast<unsigned char>(t[end]))) ++end;
    fill(out, k, end, CodeClass::code);
    k = end - 1;
  }
}

// Lexes the PHP blocks of a file ("<?php" or "<?=" or "<?" to "?>"), marking their bytes in
// `php`; the rest is left to the page's lexer.
void lex_php_blocks(std::string_view t, Classes& out, std::vector<bool>& php) {
  const std::size_t n = t.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t open = t.find("<?", i);
    if (open == npos) return;
    std::size_t code = open + 2;
    if (starts_nocase(t, code, "php")) {
      code += 3;
    } else if (code < n && t[code] == '=') {
      code += 1;
    } else if (code < n && !is_blank(t[code]) && t[code] != '\n') {
      i = open + 2;  // "<?xml" and the like: no PHP
      continue;
    }
    fill(out, open, code, CodeClass::open_tag);
    std::size_t j = code;
    while (j < n) {
      const char c = t[j];
      if (c == '?' && j + 1 < n && t[j + 1] == '>') {
        fill(out, j, j + 2, CodeClass::open_tag);
        j += 2;
        break;
      }
      if ((c == '/' && j + 1 < n && t[j + 1] == '/') ||
          (c == '#' && !(j + 1 < n && t[j + 1] == '['))) {
        std::size_t k = j;
        while (k < n && t[k] != '\n' && !(t[k] == '?' && k + 1 < n && t[k + 1] == '>')) ++k;
        fill(out, j, k, CodeClass::comment);
        j = k;
        continue;
      }
      if (c == '/' && j + 1 < n && t[j + 1] == '*') {
        const std::size_t k = block_comment_end(t, j);
        fill(out, j, k, CodeClass::comment);
        j = k;
        continue;
      }
      if (c == '\'' || c == '"' || c == '`') {
        std::size_t k = j + 1;
        while (k < n && t[k] != c) k += t[k] == '\\' ? 2 : 1;
        k = std::min(k + 1, n);
        fill(out, j, k, CodeClass::literal);
        if (c != '\'') interpolated(t, out, j + 1, k - 1);
        j = k;
        continue;
      }
      if (c == '<' && t.compare(j, 3, "<<<") == 0) {
        std::size_t k = j + 3;
        while (k < n && is_blank(t[k])) ++k;
        const char quote = k < n && (t[k] == '\'' || t[k] == '"') ? t[k] : 0;
        if (quote != 0) ++k;
        const std::size_t label_start = k;
        while (k < n && is_ident(static_cast<unsigned char>(t[k]))) ++k;
        const std::string_view label = t.substr(label_start, k - label_start);
        if (!label.empty()) {
          // The body ends on a line whose first word, after blanks, is the label.
          std::size_t line = t.find('\n', k);
          std::size_t end = n;
          while (line != npos) {
            std::size_t s = line + 1;
            while (s < n && is_blank(t[s])) ++s;
            if (t.compare(s, label.size(), label) == 0 &&
                (s + label.size() >= n ||
                 !is_ident(static_cast<unsigned char>(t[s + label.size()])))) {
              end = s + label.size();
              break;
            }
            line = t.find('\n', s);
          }
          fill(out, j, end, CodeClass::literal);
          if (quote != '\'') interpolated(t, out, k, end);
          j = end;
          continue;
        }
      }
      ++j;
    }
    std::fill(php.begin() + static_cast<std::ptrdiff_t>(open),
              php.begin() + static_cast<std::ptrdiff_t>(j), true);
    i = j;
  }
}

}  // namespace

std::vector<CodeClass> classify(std::string_view text, Language language) {
  Classes out;
  classify(text, language, out);
  return out;
}

void classify(std::string_view text, Language language, std::vector<CodeClass>& out) {
  out.assign(text.size(), CodeClass::code);
  switch (language) {
    case Language::c:
      lex_c(text, out);
      break;
    case Language::javascript:
      lex_js(text, out, 0, text.size(), false, nullptr);
      break;
    case Language::html:
      lex_html(text, out, nullptr);
      break;
    case Language::php: {
      std::vector<bool> php(text.size(), false);
      lex_php_blocks(text, out, php);
      lex_html(text, out, &php);
      break;
    }
    case Language::none:
      break;
  }
}

}  // namespace orven
