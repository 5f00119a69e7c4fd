#include "app/readme.h"

#include <new>

#include "base/crlf.h"
#include "texts/product.h"
#include "texts/readme.h"

namespace orven::app {

std::string readme_text() {
  std::string text;
  for (const std::string_view piece : texts::readme::kPieces) text.append(piece);
  return text;
}

platform::OwnFile write_readme() noexcept {
  try {
    const std::string bytes = with_crlf(readme_text());
    // What marks a readme as ours: the bytes up to the end of its first line that holds text.
    const std::size_t text_begins = bytes.find_first_not_of("\r\n");
    const std::size_t own_end = bytes.find('\n', text_begins) + 1;
    return platform::rewrite_own_file(std::filesystem::path(texts::kReadmeFile), bytes,
                                      std::string_view(bytes).substr(0, own_end));
  } catch (const std::bad_alloc&) {
    // Not the run's output: without memory for it, the readme is simply not rewritten.
    return platform::OwnFile::failed;
  }
}

}  // namespace orven::app
