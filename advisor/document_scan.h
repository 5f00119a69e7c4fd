// The scan of one document held in memory, for an editor that asks on every change: where the
// keywords of the rules that fire stand in it. It counts as a machine-format training run
// would for a file of the document's name alone, and reads nothing from disk.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orven {

struct DocumentHit {
  std::string id;         // "W03", "C12": the rule
  std::size_t begin = 0;  // byte offset of the occurrence's first byte in text
  std::size_t end = 0;    // one past its last byte (blanks inside it included)
};

// Every occurrence of a keyword of a rule that fires in this one document, as a
// machine-format training run in code mode would count them for a file of this name
// alone (its ending gives its language and opens its section; suppression markers
// honoured; suppressed occurrences left out), in order of begin, at most `limit`.
std::vector<DocumentHit> document_hits(std::string_view text, const std::filesystem::path& name,
                                       std::size_t limit = 1000);

}  // namespace orven
