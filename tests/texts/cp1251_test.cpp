#include "texts/cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace orven::texts {
namespace {

using namespace literals;

// The converter yields windows-1251 bytes for the whole Russian alphabet and the signs
// the texts use, and keeps ASCII, line feeds and carriage returns as they are.
TEST(Cp1251, ConvertsAtCompileTime) {
  constexpr std::string_view ready = "Готово!"_cp;
  EXPECT_EQ(ready, std::string_view("\xC3\xEE\xF2\xEE\xE2\xEE!"));
  EXPECT_EQ("АЯаяЁё"_cp, std::string_view("\xC0\xDF\xE0\xFF\xA8\xB8"));
  EXPECT_EQ("«»—–№©"_cp, std::string_view("\xAB\xBB\x97\x96\xB9\xA9"));
  EXPECT_EQ("a\r\nb\"c"_cp, std::string_view("a\r\nb\"c"));
  EXPECT_EQ(""_cp.size(), 0u);
  // The bytes are followed by a zero, so data() is a terminated string too.
  EXPECT_EQ(std::string("Ок"_cp.data()), std::string("\xCE\xEA"));
}

// The table is a bijection between the 127 assigned upper bytes and their characters.
TEST(Cp1251, TableIsOneToOne) {
  for (std::size_t a = 0; a < 128; ++a) {
    for (std::size_t b = a + 1; b < 128; ++b) {
      if (kCp1251Upper[a] != 0xFFFF) {
        EXPECT_NE(kCp1251Upper[a], kCp1251Upper[b]) << a << " " << b;
      }
    }
  }
  EXPECT_EQ(kCp1251Upper[0x98 - 0x80], 0xFFFF);
}

}  // namespace
}  // namespace orven::texts
