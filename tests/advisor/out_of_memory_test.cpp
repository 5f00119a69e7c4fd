// Running out of memory while the source is loaded or the report assembled is a failure
// that leaves no result.html behind. Allocations above a limit fail on request; the test
// binary replaces the global allocation functions for that.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "training_fixture.h"

namespace {
std::size_t fail_above = std::numeric_limits<std::size_t>::max();
}  // namespace

// GCC cannot tell that these deallocation functions pair with the allocation ones above.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (size > fail_above) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
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

TEST_F(OutOfMemory, WhileLoadingOrAssemblingLeavesNoReport) {
  struct Case {
    std::string source;
    std::size_t limit;
  };
  // A 100 KB source cannot be held; a tiny one can, but not the whole report.
  for (const Case& c : {Case{std::string(100'000, 'x'), 60'000}, Case{"<?php", 16'000}}) {
    write_bytes("source.txt", c.source);
    workspace_ = create_workspace();
    fail_above = c.limit;
    const ModeOutcome outcome = run_advisor(*workspace_, "source.txt");
    fail_above = std::numeric_limits<std::size_t>::max();
    EXPECT_EQ(outcome.status, ModeOutcome::Status::out_of_memory) << c.limit;
    EXPECT_FALSE(std::filesystem::exists("result.html"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);
  }
}

}  // namespace
}  // namespace orven::testing
