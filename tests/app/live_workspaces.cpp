// The test binary's own global operator new and delete: they count the workspaces alive
// (the only allocation of exactly sizeof(Workspace) bytes) and can refuse to create one.
#include "live_workspaces.h"

#include <array>
#include <cstdlib>
#include <new>

#include "workspace/workspace.h"

namespace orven::testing {
namespace {
std::array<void*, 16> g_live{};
bool g_refuse = false;
}  // namespace

int live_workspaces() {
  int count = 0;
  for (void* p : g_live) count += p != nullptr;
  return count;
}

void refuse_workspaces(bool refuse) {
  g_refuse = refuse;
}

}  // namespace orven::testing

using orven::testing::g_live;

void* operator new(std::size_t size) {
  const bool workspace = size == sizeof(orven::Workspace);
  if (workspace && orven::testing::g_refuse) throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  if (workspace) {
    for (void*& slot : g_live) {
      if (slot == nullptr) {
        slot = p;
        break;
      }
    }
  }
  return p;
}

void operator delete(void* p) noexcept {
  for (void*& slot : g_live) {
    if (slot == p && p != nullptr) slot = nullptr;
  }
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}
