// The causes of failures the platform layer met, by file, for the messages that name them.
#include "base/failure_cause.h"

#include <mutex>
#include <utility>
#include <vector>

namespace orven::platform {
namespace {

// Only the last few: a run names one file in its message, and the scan threads of a
// training run may each have met one.
constexpr std::size_t kKept = 16;

std::mutex g_lock;
std::vector<std::pair<std::filesystem::path, FailureCause>> g_causes;

}  // namespace

void remember_failure(const std::filesystem::path& file, FailureCause cause) noexcept {
  if (cause.cause == Cause::unknown) return;
  try {
    const std::lock_guard hold(g_lock);
    if (g_causes.size() == kKept) g_causes.erase(g_causes.begin());
    g_causes.emplace_back(file, std::move(cause));
  } catch (...) {
    // Without memory the message only lacks its cause.
  }
}

FailureCause failure_cause(const std::filesystem::path& file) {
  const std::lock_guard hold(g_lock);
  for (auto it = g_causes.rbegin(); it != g_causes.rend(); ++it) {
    if (it->first == file) return it->second;
  }
  return {};
}

}  // namespace orven::platform
