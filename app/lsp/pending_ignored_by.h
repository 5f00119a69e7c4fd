// STAND-IN, to be deleted when ignored_by lands in advisor/input_walk.h (or ignore_rules.h):
// the same declarations, so that the language server honours ignore rules before the walk
// can say why it leaves a file out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "advisor/input_walk.h"

namespace orven {

struct IgnoredBy {
  std::filesystem::path rule_file;
  std::uint64_t line = 0;
  std::string pattern;
};

// The rule that makes a walk leave `file` out; nothing when the walk would take it.
std::optional<IgnoredBy> ignored_by(const std::filesystem::path& file,
                                    const WalkOptions& options = {});

}  // namespace orven
