#include "app/readme.h"

#include <cstdio>
#include <memory>
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

void write_readme() noexcept {
  try {
    const std::string bytes = with_crlf(readme_text());
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(texts::kReadmeFile.data(), "wb"), &std::fclose);
    if (!file) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  } catch (const std::bad_alloc&) {
    // Not the run's output: without memory for it, the readme is simply not rewritten.
  }
}

}  // namespace orven::app
