// Fixed texts are written as readable UTF-8 in the source and reach the program as
// windows-1251 bytes: "Готово!"_cp is a std::string_view over bytes converted at compile
// time. A character that windows-1251 lacks, or malformed UTF-8, stops the build.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace orven::texts {

// The upper half of windows-1251: kCp1251Upper[b - 0x80] is the Unicode character of byte b.
// Byte 0x98 is unassigned and marked 0xFFFF. Front-ends use the same table for display.
inline constexpr std::array<char16_t, 128> kCp1251Upper = [] {
  std::array<char16_t, 128> t{
      0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
      0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
      0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
      0xFFFF, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
      0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
      0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
      0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
      0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
  };
  // C0..FF are А..я in alphabetical order.
  for (int i = 0; i < 64; ++i) t[64 + i] = static_cast<char16_t>(0x0410 + i);
  return t;
}();

namespace detail {

// A string literal carried as a template argument (its size includes the terminating zero).
template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
  }
};

// Decodes the UTF-8 character at s[i] and advances i. Throwing here ends constant
// evaluation, which is how a bad text fails the build.
constexpr char32_t decode_utf8(const char* s, std::size_t n, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int more = 0;
  char32_t c = 0;
  if ((b0 & 0xE0) == 0xC0) {
    more = 1;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    more = 2;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    more = 3;
    c = b0 & 0x07;
  } else {
    throw "malformed UTF-8 in a fixed text";
  }
  for (; more > 0; --more) {
    if (i >= n) throw "truncated UTF-8 in a fixed text";
    const auto b = static_cast<unsigned char>(s[i++]);
    if ((b & 0xC0) != 0x80) throw "malformed UTF-8 in a fixed text";
    c = (c << 6) | (b & 0x3F);
  }
  return c;
}

constexpr char to_cp1251(char32_t c) {
  if (c < 0x80) return static_cast<char>(c);
  for (std::size_t k = 0; k < kCp1251Upper.size(); ++k) {
    if (kCp1251Upper[k] == c && c != 0xFFFF) return static_cast<char>(0x80 + k);
  }
  throw "a fixed text holds a character that windows-1251 cannot store";
}

constexpr std::size_t encoded_size(const char* s, std::size_t n) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < n;) {
    to_cp1251(decode_utf8(s, n, i));
    ++count;
  }
  return count;
}

template <Utf8Literal L>
struct Encoded {
  static constexpr std::size_t kSize = encoded_size(L.bytes, sizeof(L.bytes) - 1);
  // One spare zero byte, so that the text can also be handed on as a terminated string.
  static constexpr std::array<char, kSize + 1> kBytes = [] {
    std::array<char, kSize + 1> out{};
    std::size_t o = 0;
    for (std::size_t i = 0; i < sizeof(L.bytes) - 1;) {
      out[o++] = to_cp1251(decode_utf8(L.bytes, sizeof(L.bytes) - 1, i));
    }
    return out;
  }();
};

}  // namespace detail

// Inline, as std::literals is: every text header in orven::texts sees the literal as it is,
// and code elsewhere brings it in with `using namespace orven::texts::literals;`.
inline namespace literals {

template <detail::Utf8Literal L>
consteval std::string_view operator""_cp() {
  return {detail::Encoded<L>::kBytes.data(), detail::Encoded<L>::kSize};
}

}  // namespace literals
}  // namespace orven::texts
