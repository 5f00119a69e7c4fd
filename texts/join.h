// Joins fixed texts into one constant at compile time, for a text that quotes another one
// (the site address, lines that two examples share) and must still be appended whole.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace orven::texts {

// The parts must be constants with static storage.
template <const std::string_view&... Parts>
struct Joined {
  static constexpr std::size_t kSize = (Parts.size() + ...);
  static constexpr std::array<char, kSize + 1> kBytes = [] {
    std::array<char, kSize + 1> out{};
    std::size_t o = 0;
    for (std::string_view part : {Parts...}) {
      for (char c : part) out[o++] = c;
    }
    return out;
  }();
  static constexpr std::string_view kText{kBytes.data(), kSize};
};

}  // namespace orven::texts
