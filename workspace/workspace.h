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
inline constexpr std::size_t kArgumentCount = 10;

struct Workspace {
  std::array<std::string, kSlotCount> slots;  // windows-1251 byte strings, all empty at start
  std::array<double, kArgumentCount> args;    // argument 1 is args[0]
  double verdict;                             // 0.0 or 1.0
};

// The slots the modes use, by name; no other index is ever touched. report(w) is the text
// of slot 300, for a workspace or a const one. Training mode streams its sources and never
// holds them whole: slots 0 and 200 keep only what stays small whatever the sources' size.
template <std::size_t Index>
struct Slot {
  static_assert(Index < kSlotCount);
  std::string& operator()(Workspace& w) const { return w.slots[Index]; }
  const std::string& operator()(const Workspace& w) const { return w.slots[Index]; }
};
inline constexpr Slot<0> current_word{};     // last word read, at most its last 256 bytes
inline constexpr Slot<23> command_word{};    // first token of the current script line
inline constexpr Slot<24> script_line{};     // current script line, without its line feed
inline constexpr Slot<200> scanned_text{};   // the end of the words read, joined without
                                             // separator: the longest keyword less one byte
inline constexpr Slot<300> report{};         // the XHTML report being built
inline constexpr Slot<301> advice_opener{};  // the three pieces around a rule block's texts
inline constexpr Slot<302> example_opener{};
inline constexpr Slot<303> block_closer{};

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
