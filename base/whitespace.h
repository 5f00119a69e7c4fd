// The bytes that separate words in a source and tokens in a script line: blank, tab, line
// feed, vertical tab, form feed and carriage return (the classic locale's whitespace).
#pragma once

#include <array>

namespace orven {

// A table, since training mode asks once per byte of the source.
inline constexpr std::array<bool, 256> kWhitespace = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table[c] = true;
  return table;
}();

constexpr bool is_whitespace(char c) {
  return kWhitespace[static_cast<unsigned char>(c)];
}

}  // namespace orven
