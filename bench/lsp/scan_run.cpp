// The scan the language server runs on every change, alone and in one process: a document's
// text read once, then document_hits on it REPEATS times (after one untimed scan). Prints
// the number of hits, then each scan's time in milliseconds, one a line.
// Usage: bench_lsp_scan FILE NAME REPEATS (NAME's ending gives the language, as a URI's does)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "advisor/document_scan.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_lsp_scan FILE NAME REPEATS\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bench_lsp_scan: %s not read\n", argv[1]);
    return 1;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::filesystem::path name = argv[2];
  const long repeats = std::strtol(argv[3], nullptr, 10);
  std::printf("%zu\n", orven::document_hits(text, name).size());
  for (long i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const std::size_t hits = orven::document_hits(text, name).size();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    // The count keeps the scan from being optimised away.
    std::printf("%.4f %zu\n", took.count(), hits);
  }
  return 0;
}
