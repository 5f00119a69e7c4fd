// Expert mode the plain way, for comparison: getline, a string stream per line and an
// ofstream opened for appending per line.   expert_bench_iostreams SCRIPT
#include <fstream>
#include <string>

#include "tests/support/expert_reference.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::ifstream script(argv[1]);
  orven::bench::ReferenceRunner reference;
  std::string line;
  while (!script.eof()) {
    std::getline(script, line);
    std::ofstream log("orven_log.txt", std::ios::app | std::ios::binary);
    log << reference.line_output(line);
  }
  return 0;
}
