// The closing chapters: the general advice chapter, the command reference and the footer,
// appended after both sections whatever they produced. Every text comes from texts/closing.h.
#include "texts/closing.h"

#include <cstddef>
#include <string>

#include "advisor/report.h"

namespace orven {

void append_closing_chapters(Workspace& w) {
  namespace text = texts::closing;
  std::string& out = report(w);

  out += text::kChapterOpening;
  for (std::string_view paragraph : text::kAdviceParagraphs) out += paragraph;
  out += text::kReferenceIntroduction;

  // The heuristic introduction belongs between the math and the verdict commands.
  for (std::size_t i = 0; i < text::kCommandReference.size(); ++i) {
    if (i == text::kMathEntryCount) out += text::kHeuristicIntroduction;
    append_rule_block(w, text::kCommandReference[i].description,
                      text::kCommandReference[i].command);
  }

  out += text::kChapterClosing;
  out += text::kFooterOpening;
  out += text::kWarningParagraph;
  out += text::kCopyrightParagraph;
  out += text::kFooterClosing;
  out += text::kDocumentEnd;
}

}  // namespace orven
