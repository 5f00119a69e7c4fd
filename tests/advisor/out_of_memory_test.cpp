// Running out of memory while the scan starts or the report is assembled is a failure that
// leaves no result.html behind; a thread that cannot have a buffer of its own is one thread
// fewer, not a failure. Allocations above a limit, or of one size after some, fail on
// request; the test binary replaces the global allocation functions for that.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#ifdef _WIN32
#include <malloc.h>
#endif

#include "training_fixture.h"

namespace {
std::atomic<std::size_t> fail_above = std::numeric_limits<std::size_t>::max();
std::atomic<std::size_t> fail_size = 0;  // allocations of this size fail once
std::atomic<int> size_allowed = 0;       // this many more of them were made
}  // namespace

// GCC cannot tell that these deallocation functions pair with the allocation ones above.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
void check_allowed(std::size_t size) {
  if (size > fail_above) throw std::bad_alloc();
  if (size == fail_size && size_allowed-- <= 0) throw std::bad_alloc();
}
void free_aligned(void* p) {
#ifdef _WIN32
  _aligned_free(p);
#else
  std::free(p);
#endif
}
}  // namespace

void* operator new(std::size_t size) {
  check_allowed(size);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The scan's chunk buffers are aligned allocations: they fail on request too.
void* operator new(std::size_t size, std::align_val_t alignment) {
  check_allowed(size);
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (std::max<std::size_t>(size, 1) + align - 1) / align * align;
#ifdef _WIN32
  if (void* p = _aligned_malloc(rounded, align)) return p;
#else
  if (void* p = std::aligned_alloc(align, rounded)) return p;
#endif
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return ::operator new(size, alignment);
}
void operator delete(void* p, std::align_val_t) noexcept {
  free_aligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  free_aligned(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  free_aligned(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  free_aligned(p);
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace orven::testing {
namespace {

using OutOfMemory = TrainingTest;

TEST_F(OutOfMemory, WhileScanningOrAssemblingLeavesNoReport) {
  write_bytes("warm-up.txt", "x");  // the keywords are made ready once, on the first run
  ASSERT_EQ(run_file("warm-up.txt").status, ModeOutcome::Status::ok);
  std::filesystem::remove("result.html");
  std::filesystem::remove("warm-up.txt");
  struct Case {
    std::size_t chunk_bytes;
    std::size_t limit;
  };
  // No buffer for the first chunk; then a buffer, but not the whole report.
  for (const Case& c : {Case{100'000, 60'000}, Case{4096, 16'000}}) {
    write_bytes("source.txt", "<?php");
    workspace_ = create_workspace();
    fail_above = c.limit;
    const ModeOutcome outcome = run_advisor(*workspace_, {{"source.txt"}}, {2, c.chunk_bytes});
    fail_above = std::numeric_limits<std::size_t>::max();
    EXPECT_EQ(outcome.status, ModeOutcome::Status::out_of_memory) << c.limit;
    EXPECT_EQ(outcome.file, "source.txt");
    EXPECT_FALSE(std::filesystem::exists("result.html"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);
  }
}

TEST_F(OutOfMemory, ThreadsWithoutABufferAreLeftOut) {
  ASSERT_EQ(run("<?php echo 1; #include <windows.h>").status, ModeOutcome::Status::ok);
  const std::string alone = read_bytes("result.html");
  fail_size = 77'777;
  size_allowed = 1;  // the first thread's buffer, no other
  const ModeOutcome outcome = run_paths({"source.txt"}, {4, 77'777});
  fail_size = 0;
  EXPECT_EQ(outcome.status, ModeOutcome::Status::ok);
  EXPECT_EQ(read_bytes("result.html"), alone);
  EXPECT_LT(size_allowed, 0);  // the others were asked for, and refused
}

}  // namespace
}  // namespace orven::testing
