// Writes a deterministic expert-mode script of N lines (all 39 commands, bad numbers, empty
// and blank lines, ungated and unknown words, some CR LF line ends) and, for every pass of
// the run, the log text the reference gives: a 32-bit length, then the bytes.
//   expert_bench_gen FOLDER [LINES]  ->  FOLDER/script.txt, FOLDER/expected.bin
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "tests/support/expert_reference.h"

namespace {

std::mt19937_64 random_source(20120101);
std::uint64_t pick(std::uint64_t n) {
  return random_source() % n;
}

std::string number() {
  switch (pick(6)) {
    case 0:
      return std::to_string(pick(100));
    case 1:
      return std::to_string(pick(100000));
    case 2:
      return std::to_string(static_cast<int>(pick(2000)) - 1000);
    case 3:
      return std::to_string(pick(1000)) + "." + std::to_string(pick(100));
    case 4:
      return std::to_string(pick(20000000));
    default:
      return std::to_string(pick(500)) + "e" + std::to_string(pick(4));
  }
}

std::string line() {
  constexpr std::size_t kCommands = std::size(orven::bench::kReferenceCommands);
  static const char* const bad[] = {"abc", "1,5", "100abc", "1e400", "-1e400", "-",     "+",
                                    "5e",  "5e+", ".",      "inf",   "nan",    "0x1p3", "1e-400"};
  static const char* const others[] = {"note #root::math::vptya 5", "#root::math::VPTYA 5",
                                       "hello world 1 2 3",         "#root::math::sum 5",
                                       "x#root::hv::get_ajax 5",    "#root::hv::get_size 7"};
  const std::uint64_t kind = pick(100);
  std::string s;
  if (kind < 85) {
    const auto& c = orven::bench::kReferenceCommands[kind < 55 ? pick(9) : 9 + pick(kCommands - 9)];
    s = c.name;
    for (std::uint64_t n = pick(5); n > 0; --n) s += " " + number();
  } else if (kind < 90) {
    s = orven::bench::kReferenceCommands[pick(kCommands)].name;
    s += " " + number() + " " + bad[pick(std::size(bad))] + " " + number();
  } else if (kind < 94) {
    s = pick(2) ? "" : "  \t ";
  } else {
    s = others[pick(std::size(others))];
  }
  if (pick(10) == 0) s += "\r";
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: expert_bench_gen FOLDER [LINES]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const long lines = argc > 2 ? std::stol(argv[2]) : 1'000'000;
  std::ofstream script(folder + "/script.txt", std::ios::binary);
  std::ofstream expected(folder + "/expected.bin", std::ios::binary);
  orven::bench::ReferenceRunner reference;
  const auto record = [&](const std::string& text) {
    const auto n = static_cast<std::uint32_t>(text.size());
    expected.write(reinterpret_cast<const char*>(&n), sizeof n);
    expected.write(text.data(), static_cast<std::streamsize>(n));
  };
  for (long k = 0; k < lines; ++k) {
    const std::string l = line();
    script << l << '\n';
    record(reference.line_output(l));
  }
  record(reference.line_output(""));  // the pass after the final line feed
  return script && expected ? 0 : 1;
}
