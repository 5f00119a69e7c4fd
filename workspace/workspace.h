// The Run workspace: the one record that carries all working data of a single run.
// The run sequence creates a fresh one for every run and destroys it afterwards; the mode
// that runs borrows it by reference and neither keeps nor frees it. Slots own their text.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace orven {

inline constexpr std::size_t kSlotCount = 5512;

// The slots addressed by the modes; no other index is ever touched.
namespace slot {
inline constexpr std::size_t kCurrentWord = 0;    // last word read from the source
inline constexpr std::size_t kCommandWord = 23;   // first token of the current script line
inline constexpr std::size_t kScriptLine = 24;    // current script line, without its line feed
inline constexpr std::size_t kScannedText = 200;  // every source word, joined without separator
inline constexpr std::size_t kReport = 300;       // the XHTML report being built
inline constexpr std::size_t kAdviceOpener = 301;
inline constexpr std::size_t kExampleOpener = 302;
inline constexpr std::size_t kBlockCloser = 303;
}  // namespace slot

inline constexpr std::size_t kArgumentCount = 10;

struct Workspace {
  std::array<std::string, kSlotCount> slots;  // windows-1251 byte strings, all empty at start
  std::array<double, kArgumentCount> args;    // argument 1 is args[0]
  double verdict;                             // 0.0 or 1.0
};

struct WorkspaceDeleter {
  void operator()(Workspace* w) const noexcept;
};
using WorkspacePtr = std::unique_ptr<Workspace, WorkspaceDeleter>;

// A zero-filled workspace: every slot empty, every number 0.0. Throws std::bad_alloc when
// memory runs out; nothing of a half-built workspace remains then.
WorkspacePtr create_workspace();

// Destroys the slots in reverse index order and releases the record; null does nothing.
void destroy_workspace(WorkspacePtr& workspace) noexcept;

}  // namespace orven
