// What the fuzz targets share: a private scratch folder that is the current directory for
// the whole fuzzing session (the modes write their outputs there), whole-file reads and
// writes, and a check that stops the run with a message libFuzzer records as a crash.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "workspace/workspace.h"

namespace orven::fuzz {

[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  if (!detail.empty()) {
    std::fprintf(stderr, "  detail (%zu bytes): ", detail.size());
    std::fwrite(detail.data(), 1, detail.size() < 400 ? detail.size() : 400, stderr);
    std::fputc('\n', stderr);
  }
  std::abort();
}

#define ORVEN_FUZZ_CHECK(condition, ...)                                          \
  do {                                                                            \
    if (!(condition)) ::orven::fuzz::fail(#condition __VA_OPT__(, ) __VA_ARGS__); \
  } while (false)

// Makes a fresh folder (on a memory file system where there is one) the current directory
// and removes it when the process ends normally.
inline void enter_scratch_folder(const char* name) {
  namespace fs = std::filesystem;
  static fs::path folder;
  const fs::path base =
      fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  folder = base / (std::string(name) + "-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  fs::current_path(folder);
  std::atexit([] {
    std::error_code ignored;
    fs::current_path("/", ignored);
    fs::remove_all(folder, ignored);
  });
}

inline std::string read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  ORVEN_FUZZ_CHECK(!error);  // before the size is used: a failure gives (uintmax_t)-1
  std::string bytes(size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ORVEN_FUZZ_CHECK(in.gcount() == static_cast<std::streamsize>(bytes.size()));
  ORVEN_FUZZ_CHECK(in.peek() == std::ifstream::traits_type::eof());  // nothing beyond the size
  return bytes;
}

inline void write_file(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ORVEN_FUZZ_CHECK(out.good());
}

// A workspace exactly as create_workspace makes it (every slot empty, every number 0.0),
// reused from run to run: allocating its 5512 slots afresh costs more than a whole run.
inline Workspace& fresh_workspace() {
  static WorkspacePtr w = create_workspace();
  const std::size_t empty_capacity = std::string().capacity();
  for (std::string& s : w->slots) {
    if (s.capacity() != empty_capacity) std::string().swap(s);
    s.clear();
  }
  w->args = {};
  w->verdict = 0.0;
  return *w;
}

// Every LF as CR LF, written out here rather than taken from the writer under test.
inline std::string lf_as_crlf(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace orven::fuzz
