// The lexer here answers one question, what is open at the end of a line, so it knows only
// what can stay open across bytes: comments, literals (with C++ raw strings, JavaScript
// template literals and their ${} nesting, regular expressions, PHP heredocs), HTML
// comments and tags, script and style elements, and PHP blocks inside any of them. It errs
// towards offering no edit: a marker written into a literal would change the program.
#include "app/lsp/marker_edit.h"

#include <cstring>
#include <vector>

namespace orven::lsp {

namespace {

constexpr std::string_view kMarker = "orven-disable-line";

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_identifier(char c) {
  return is_letter(c) || is_digit(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

bool is_break(char c) {
  return c == '\n' || c == '\r';
}

// The form a marker's comment takes at a place.
enum class Form {
  slashes,  // " // orven-disable-line ID"
  hash,     // " # orven-disable-line ID"
  block,    // " /* orven-disable-line ID */"
  html,     // " <!-- orven-disable-line ID -->"
  bare,     // " orven-disable-line ID": already inside a comment that the others would close
  none,     // inside a literal or a tag: no comment can go there
};

class Lexer {
 public:
  Lexer(std::string_view text, Language language)
      : text_(text), php_file_(language == Language::php) {
    switch (language) {
      case Language::javascript:
        mode_ = Mode::javascript;
        break;
      case Language::c:
        mode_ = Mode::c;
        break;
      default:
        mode_ = Mode::html;
    }
  }

  // Walks up to `end` (from where the last call stopped) and tells what a comment there
  // would have to be.
  Form form_at(std::size_t end) {
    while (at_ < end) step();
    switch (mode_) {
      case Mode::html:
        return Form::html;
      case Mode::html_comment:
        return Form::bare;
      case Mode::tag:
        return Form::none;
      case Mode::style:
        return in_ == In::code ? Form::block : in_ == In::block_comment ? Form::bare : Form::none;
      case Mode::php:
        return in_ <= In::block_comment ? Form::hash : Form::none;
      case Mode::script:
      case Mode::javascript:
      case Mode::c:
        break;
    }
    return in_ <= In::block_comment ? Form::slashes : Form::none;
  }

  bool in_c_code() const { return mode_ == Mode::c && in_ != In::block_comment; }
  // Where the last PHP block was closed ("?>"), or npos.
  std::size_t php_close() const { return php_close_; }

 private:
  enum class Mode { html, html_comment, tag, script, style, javascript, php, c };
  // The order matters: code and the comments first (form_at asks `<= block_comment`).
  enum class In {
    code,
    line_comment,
    block_comment,
    string,
    template_literal,
    regex,
    raw,
    heredoc
  };
  struct State {
    Mode mode;
    In in;
  };

  bool at(std::string_view what) const { return text_.substr(at_, what.size()) == what; }
  bool at_any_case(std::string_view what) const {
    if (text_.size() - at_ < what.size()) return false;
    for (std::size_t k = 0; k < what.size(); ++k) {
      if (lower(text_[at_ + k]) != what[k]) return false;
    }
    return true;
  }
  char next(std::size_t k = 1) const { return at_ + k < text_.size() ? text_[at_ + k] : '\0'; }
  void enter(In in, std::size_t skip) {
    in_ = in;
    at_ += skip;
  }

  void step() {
    // A PHP block opens anywhere outside one (an XML declaration is not one).
    if (php_file_ && mode_ != Mode::php && at("<?") && !at_any_case("<?xml")) {
      outside_ = {mode_, in_};
      mode_ = Mode::php;
      in_ = In::code;
      at_ += at_any_case("<?php") ? 5 : at("<?=") ? 3 : 2;
      return;
    }
    switch (mode_) {
      case Mode::html:
        return html_step();
      case Mode::html_comment:
        if (at("-->")) {
          mode_ = Mode::html;
          at_ += 3;
        } else {
          ++at_;
        }
        return;
      case Mode::tag:
        return tag_step();
      case Mode::script:
      case Mode::style:
        // The element ends at its end tag whatever its code has open.
        if (at_any_case(mode_ == Mode::script ? "</script" : "</style")) {
          open_tag(1);
          return;
        }
        return mode_ == Mode::script ? javascript_step() : css_step();
      case Mode::javascript:
        return javascript_step();
      case Mode::php:
        return php_step();
      case Mode::c:
        return c_step();
    }
  }

  void open_tag(std::size_t name_from) {
    closing_ = text_[at_ + 1] == '/';
    std::size_t k = at_ + name_from;
    tag_.clear();
    while (k < text_.size() && (is_letter(text_[k]) || is_digit(text_[k])))
      tag_ += lower(text_[k++]);
    mode_ = Mode::tag;
    quote_ = 0;
    at_ = k;
  }

  void html_step() {
    if (at("<!--")) {
      mode_ = Mode::html_comment;
      at_ += 4;
    } else if (text_[at_] == '<' && is_letter(next())) {
      open_tag(1);
    } else if (at("</") && is_letter(next(2))) {
      open_tag(2);
    } else {
      ++at_;
    }
  }

  void tag_step() {
    const char c = text_[at_++];
    if (quote_ != 0) {
      if (c == quote_) quote_ = 0;
    } else if (c == '"' || c == '\'') {
      quote_ = c;
    } else if (c == '>') {
      const bool empty = at_ >= 2 && text_[at_ - 2] == '/';
      mode_ = Mode::html;
      if (!closing_ && !empty && (tag_ == "script" || tag_ == "style")) {
        mode_ = tag_ == "script" ? Mode::script : Mode::style;
        in_ = In::code;
        last_ = 0;
        braces_.clear();
      }
    }
  }

  // A "/" after one of these (or at the start) opens a regular expression, elsewhere it
  // divides.
  bool regex_may_start() const { return last_ == 0 || std::strchr("(,=:[!&|?{};+-*%<>~^", last_); }

  void javascript_step() {
    const char c = text_[at_];
    switch (in_) {
      case In::code:
        if (at("//")) return enter(In::line_comment, 2);
        if (at("/*")) return enter(In::block_comment, 2);
        if (c == '\'' || c == '"') {
          quote_ = c;
          return enter(In::string, 1);
        }
        if (c == '`') return enter(In::template_literal, 1);
        if (c == '/' && regex_may_start()) {
          in_class_ = false;
          return enter(In::regex, 1);
        }
        if (c == '{' && !braces_.empty()) ++braces_.back();
        if (c == '}' && !braces_.empty()) {
          if (braces_.back() == 0) {
            braces_.pop_back();
            return enter(In::template_literal, 1);
          }
          --braces_.back();
        }
        if (!is_blank(c) && !is_break(c)) last_ = c;
        ++at_;
        return;
      case In::line_comment:
        if (is_break(c)) in_ = In::code;
        ++at_;
        return;
      case In::block_comment:
        if (at("*/")) return enter(In::code, 2);
        ++at_;
        return;
      case In::template_literal:
        if (c == '\\') return enter(in_, 2);
        if (c == '`') {
          last_ = 'a';
          return enter(In::code, 1);
        }
        if (at("${")) {
          braces_.push_back(0);
          last_ = '{';
          return enter(In::code, 2);
        }
        ++at_;
        return;
      case In::regex:
        if (c == '\\') return enter(in_, 2);
        if (c == '[') in_class_ = true;
        if (c == ']') in_class_ = false;
        if ((c == '/' && !in_class_) || is_break(c)) {
          last_ = 'a';
          in_ = In::code;
        }
        ++at_;
        return;
      default:  // a string: it cannot run past its line
        if (c == '\\') return enter(in_, 2);
        if (c == quote_ || is_break(c)) {
          last_ = 'a';
          in_ = In::code;
        }
        ++at_;
        return;
    }
  }

  void css_step() {
    const char c = text_[at_];
    if (in_ == In::code) {
      if (at("/*")) return enter(In::block_comment, 2);
      if (c == '\'' || c == '"') {
        quote_ = c;
        return enter(In::string, 1);
      }
    } else if (in_ == In::block_comment) {
      if (at("*/")) return enter(In::code, 2);
    } else {
      if (c == '\\') return enter(in_, 2);
      if (c == quote_ || is_break(c)) in_ = In::code;
    }
    ++at_;
  }

  void php_step() {
    const char c = text_[at_];
    // A one-line comment ends at the block's end as at the line's.
    if ((in_ == In::code || in_ == In::line_comment) && at("?>")) {
      php_close_ = at_;
      mode_ = outside_.mode;
      in_ = outside_.in;
      at_ += 2;
      return;
    }
    switch (in_) {
      case In::code:
        if (at("//") || (c == '#' && next() != '[')) return enter(In::line_comment, 1);
        if (at("/*")) return enter(In::block_comment, 2);
        if (c == '\'' || c == '"' || c == '`') {
          quote_ = c;
          return enter(In::string, 1);
        }
        if (at("<<<")) return heredoc_start();
        ++at_;
        return;
      case In::line_comment:
        if (is_break(c)) in_ = In::code;
        ++at_;
        return;
      case In::block_comment:
        if (at("*/")) return enter(In::code, 2);
        ++at_;
        return;
      case In::heredoc:
        // The label closes it at a line's start, blanks before it allowed.
        if (at_ == 0 || is_break(text_[at_ - 1])) {
          std::size_t k = at_;
          while (k < text_.size() && is_blank(text_[k])) ++k;
          if (text_.substr(k, delimiter_.size()) == delimiter_ &&
              (k + delimiter_.size() == text_.size() ||
               !is_identifier(text_[k + delimiter_.size()]))) {
            in_ = In::code;
            at_ = k + delimiter_.size();
            return;
          }
        }
        ++at_;
        return;
      default:  // a string, which may run over lines
        if (c == '\\') return enter(in_, 2);
        if (c == quote_) in_ = In::code;
        ++at_;
        return;
    }
  }

  void heredoc_start() {
    std::size_t k = at_ + 3;
    while (k < text_.size() && is_blank(text_[k])) ++k;
    if (k < text_.size() && (text_[k] == '\'' || text_[k] == '"')) ++k;
    const std::size_t from = k;
    while (k < text_.size() && is_identifier(text_[k])) ++k;
    if (k == from || is_digit(text_[from])) {
      at_ += 3;  // a shift, not a heredoc
      return;
    }
    delimiter_ = std::string(text_.substr(from, k - from));
    if (k < text_.size() && (text_[k] == '\'' || text_[k] == '"')) ++k;
    in_ = In::heredoc;
    at_ = k;
  }

  void c_step() {
    const char c = text_[at_];
    switch (in_) {
      case In::code:
        if (at("//")) return enter(In::line_comment, 2);
        if (at("/*")) return enter(In::block_comment, 2);
        if (c == '"' && raw_string_start()) return;
        if (c == '"' || (c == '\'' && !(at_ > 0 && is_digit(text_[at_ - 1])))) {  // not 1'000
          quote_ = c;
          return enter(In::string, 1);
        }
        ++at_;
        return;
      case In::line_comment:
        // A backslash at the line's end carries the comment on to the next line.
        if (c == '\\' && is_break(next()))
          return enter(in_, next() == '\r' && next(2) == '\n' ? 3 : 2);
        if (is_break(c)) in_ = In::code;
        ++at_;
        return;
      case In::block_comment:
        if (at("*/")) return enter(In::code, 2);
        ++at_;
        return;
      case In::raw:
        if (at(delimiter_)) return enter(In::code, delimiter_.size());
        ++at_;
        return;
      default:  // a string or a character literal
        if (c == '\\') return enter(in_, next() == '\r' && next(2) == '\n' ? 3 : 2);
        if (c == quote_ || is_break(c)) in_ = In::code;
        ++at_;
        return;
    }
  }

  // At a '"': whether R, u8R, uR, UR or LR stands right before it, making a raw string.
  bool raw_string_start() {
    std::size_t k = at_;
    while (k > 0 && is_identifier(text_[k - 1])) --k;
    const std::string_view prefix = text_.substr(k, at_ - k);
    if (prefix != "R" && prefix != "u8R" && prefix != "uR" && prefix != "UR" && prefix != "LR") {
      return false;
    }
    const std::size_t open = text_.find('(', at_ + 1);
    if (open == std::string_view::npos || open - at_ - 1 > 16) return false;
    delimiter_ = ")" + std::string(text_.substr(at_ + 1, open - at_ - 1)) + "\"";
    in_ = In::raw;
    at_ = open + 1;
    return true;
  }

  std::string_view text_;
  bool php_file_;
  std::size_t at_ = 0;
  Mode mode_;
  In in_ = In::code;
  State outside_{Mode::html, In::code};  // where the PHP block open now returns to
  char quote_ = 0;
  std::string delimiter_;    // of a raw string or a heredoc
  std::string tag_;          // the name of the tag open now, lower case
  bool closing_ = false;     // it is an end tag
  std::vector<int> braces_;  // JavaScript: the braces open in each ${} of a template literal
  char last_ = 0;            // JavaScript: the last byte of code that was not blank
  bool in_class_ = false;    // JavaScript: inside [] of a regular expression
  std::size_t php_close_ = std::string_view::npos;
};

// The id list of a marker the line already carries: the offset after it, and whether it
// names the id (or all).
std::optional<std::size_t> marker_list_end(std::string_view line, std::string_view id,
                                           bool& named) {
  const std::size_t marker = line.find(kMarker);
  if (marker == std::string_view::npos) return std::nullopt;
  std::size_t k = marker + kMarker.size();
  while (k < line.size() && is_blank(line[k])) ++k;
  const std::size_t from = k;
  while (k < line.size() && (is_letter(line[k]) || is_digit(line[k]) || line[k] == ',')) ++k;
  if (k == from) return std::nullopt;
  for (std::size_t start = from; start < k;) {
    std::size_t stop = line.find(',', start);
    if (stop == std::string_view::npos || stop > k) stop = k;
    const std::string_view one = line.substr(start, stop - start);
    named = named || one == id || one == "all";
    start = stop + 1;
  }
  return k;
}

}  // namespace

std::optional<Insertion> disable_line_insertion(std::string_view text, std::size_t line_start,
                                                std::size_t line_end, Language language,
                                                std::string_view id) {
  if (language == Language::none || line_start > line_end || line_end > text.size()) {
    return std::nullopt;
  }
  const std::string_view line = text.substr(line_start, line_end - line_start);
  bool named = false;
  if (const auto list_end = marker_list_end(line, id, named)) {
    if (named) return std::nullopt;
    return Insertion{line_start + *list_end, "," + std::string(id)};
  }
  Lexer lexer(text, language);
  const Form form = lexer.form_at(line_end);
  // The blanks at the line's end stay after the marker.
  std::size_t end = line_end;
  while (end > line_start && is_blank(text[end - 1])) --end;
  const auto spaced = [&](std::size_t offset, std::string marker) {
    if (offset > 0 && offset > line_start && !is_blank(text[offset - 1])) marker.insert(0, " ");
    return Insertion{offset, std::move(marker)};
  };
  const std::string marker = std::string(kMarker) + " " + std::string(id);
  // A PHP block that closes on this line with only blanks after it takes the marker inside,
  // where the page's output does not change.
  const std::size_t close = lexer.php_close();
  if (form == Form::html && close != std::string_view::npos && close >= line_start &&
      close + 2 == end) {
    return spaced(close, "# " + marker + " ");
  }
  // A line continued by a backslash must keep it last.
  if (language == Language::c && end > line_start && text[end - 1] == '\\' &&
      form == Form::slashes && lexer.in_c_code()) {
    return spaced(end - 1, "/* " + marker + " */ ");
  }
  switch (form) {
    case Form::slashes:
      return spaced(end, "// " + marker);
    case Form::hash:
      return spaced(end, "# " + marker);
    case Form::block:
      return spaced(end, "/* " + marker + " */");
    case Form::html:
      return spaced(end, "<!-- " + marker + " -->");
    case Form::bare:
      return spaced(end, marker);
    case Form::none:
      break;
  }
  return std::nullopt;
}

}  // namespace orven::lsp
