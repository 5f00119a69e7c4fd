// The code action's edit: an orven-disable-line marker for one rule at the end of a line,
// in the comment form that the document's language takes at that place ("//" in C, C++ and
// JavaScript, "#" in PHP code, "<!-- -->" in HTML, "/* */" in CSS and before a C line's
// continuation), or the rule's id added to a marker the line already carries. A small
// lexer walks the document up to the line's end to learn what is open there: PHP or HTML,
// a script or style element, a tag, a comment, a literal.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "advisor/languages.h"

namespace orven::lsp {

struct Insertion {
  std::size_t offset = 0;  // where the text goes, a byte offset
  std::string text;
};

// What makes the line [line_start, line_end) of `text` carry "orven-disable-line ID", or
// nothing where no comment can go at its end (inside a literal, a heredoc or an HTML tag
// that runs on) and where the line's marker names the id already.
std::optional<Insertion> disable_line_insertion(std::string_view text, std::size_t line_start,
                                                std::size_t line_end, Language language,
                                                std::string_view id);

}  // namespace orven::lsp
