// Writes the benchmark sources of the training run: a deterministic, whitespace-rich text of
// filler words (code-like, with Cyrillic comments) in which PHP and C++ keywords of the rule
// lists are sprinkled throughout. Some keywords never occur, so every search must read the
// whole text (no early stop). The text goes into one file, or is cut into a tree of files of
// uneven sizes, 100 to a folder, two levels deep, named with the six endings the training
// walk takes.
// Usage: generate_source FILE [MEBIBYTES]                (default 256)
//        generate_source --tree FOLDER MEBIBYTES FILES
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// The text, a chunk at a time, written into one file after another.
class Writer {
 public:
  // Writes `bytes` bytes of the text to the file; false on a failure, which it reports.
  bool write(const std::filesystem::path& file, std::uint64_t bytes) {
    std::FILE* out = std::fopen(file.string().c_str(), "wb");
    if (out == nullptr) {
      std::perror(file.string().c_str());
      return false;
    }
    while (bytes > 0) {
      if (from_ == chunk_.size()) refill();
      const std::uint64_t take = std::min<std::uint64_t>(chunk_.size() - from_, bytes);
      if (std::fwrite(chunk_.data() + from_, 1, take, out) != take) {
        std::perror(file.string().c_str());
        std::fclose(out);
        return false;
      }
      from_ += take;
      bytes -= take;
    }
    return std::fclose(out) == 0;
  }

 private:
  void refill() {
    chunk_.clear();
    from_ = 0;
    while (chunk_.size() < (1u << 20)) {
      const std::uint32_t r = next();
      if (r % 1000 == 0) {
        chunk_ += kSprinkled[(r / 1000) % std::size(kSprinkled)];
      } else {
        chunk_ += kFiller[(r / 1000) % std::size(kFiller)];
      }
      chunk_ += gap();
    }
  }

  std::string chunk_;
  std::size_t from_ = 0;
};

// Only names every training walk takes (those of earlier versions too, for a comparison), so
// that training, rg and cat all read the same bytes.
constexpr const char* kEndings[] = {".php", ".cpp", ".h", ".html", ".inc"};

int write_tree(const std::filesystem::path& folder, std::uint64_t total, std::uint64_t files) {
  // Uneven sizes, from one to seven parts each, that add up to the total exactly.
  std::vector<std::uint64_t> parts(files);
  std::uint64_t all_parts = 0;
  for (std::uint64_t& p : parts) all_parts += p = 1 + next() % 7;
  Writer writer;
  std::uint64_t written = 0;
  for (std::uint64_t i = 0; i < files; ++i) {
    const std::uint64_t size = i + 1 == files ? total - written : total / all_parts * parts[i];
    char name[64];
    std::snprintf(name, sizeof name, "m%02llu/s%02llu/file%05llu%s",
                  static_cast<unsigned long long>(i / 1000),
                  static_cast<unsigned long long>(i / 100 % 10), static_cast<unsigned long long>(i),
                  kEndings[i % std::size(kEndings)]);
    const std::filesystem::path file = folder / name;
    std::filesystem::create_directories(file.parent_path());
    if (!writer.write(file, size)) return 1;
    written += size;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--tree") == 0) {
    return write_tree(argv[2], std::strtoull(argv[3], nullptr, 10) << 20,
                      std::strtoull(argv[4], nullptr, 10));
  }
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: generate_source FILE [MEBIBYTES]\n"
                 "       generate_source --tree FOLDER MEBIBYTES FILES\n");
    return 2;
  }
  const std::uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
  return Writer().write(argv[1], mebibytes << 20) ? 0 : 1;
}
