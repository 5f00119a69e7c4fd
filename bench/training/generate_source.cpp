// Writes the benchmark source of the training run: a deterministic, whitespace-rich text of
// filler words (code-like, with Cyrillic comments) in which PHP and C++ keywords of the rule
// lists are sprinkled throughout. Some keywords never occur, so every search must read the
// whole text. Usage: generate_source FILE [MEBIBYTES]  (default 256).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Filler that looks like code and prose but holds no keyword of the rule lists.
constexpr std::string_view kFiller[] = {
    "value",  "result",  "=",      "data",   "index",  "count",  "name",     "{",        "}",
    "(",      ")",       ";",      "$item",  "->next", "echo",   "const",    "int",      "char",
    "static", "void",    "array(", "string", "number", "update", "total",    "buffer",   "size",
    "offset", "+",       "-",      "&&",     "||",     "token",  "reset",    "items",    "length",
    "end",    "begin",   "cache",  "page",   "title",  "row",    "column",   "default:", "case",
    "break;", "//",      "/*",     "*/",     "Ответ",  "данные", "страница", "0",        "1",
    "42",     "3.14",    "$count", "$name",  "<div>",  "</div>", "<p>",      "</p>",     "hWnd,",
    "lParam", "wParam)", "HDC",    "RECT",   "rc;",    "std::",  "map<int,", "double>",  "size_t",
};

// Keywords that do occur, each now and then (PHP, markup, C++ and Win32).
constexpr std::string_view kSprinkled[] = {
    "<?php",
    "</body>",
    "#include",
    "<windows.h>",
    "fopen('a.txt',",
    "while",
    "for (",
    "$_POST['x']",
    "mysql_query(",
    "class",
    "if",
    "preg_match_all(",
    "eval ($x)",
    "MessageBoxA",
    "CreateWindowEx(",
    "WM_PAINT:",
    "return",
    "sprintf(",
    "itoa(",
    "vector<int>",
    "ShowWindow(",
    "GetOpenFileNameA",
    "<form",
    "<input",
    "mail(",
};

std::uint64_t state = 0x9E3779B97F4A7C15ull;

std::uint32_t next() {  // xorshift64*: the same text on every machine
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return static_cast<std::uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
}

// Blanks, tabs, line breaks and indentation between words.
std::string_view gap() {
  switch (next() % 16) {
    case 0:
      return "\n";
    case 1:
      return "\r\n    ";
    case 2:
      return "\t";
    case 3:
      return "\n\t\t";
    case 4:
      return "  ";
    default:
      return " ";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: generate_source FILE [MEBIBYTES]\n");
    return 2;
  }
  const std::uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
  const std::uint64_t target = mebibytes << 20;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::string chunk;
  std::uint64_t written = 0;
  while (written < target) {
    chunk.clear();
    while (chunk.size() < (1u << 20)) {
      const std::uint32_t r = next();
      if (r % 1000 == 0) {
        chunk += kSprinkled[(r / 1000) % std::size(kSprinkled)];
      } else {
        chunk += kFiller[(r / 1000) % std::size(kFiller)];
      }
      chunk += gap();
    }
    const std::uint64_t take = std::min<std::uint64_t>(chunk.size(), target - written);
    if (std::fwrite(chunk.data(), 1, take, out) != take) {
      std::perror(argv[1]);
      return 1;
    }
    written += take;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
