// The digit columns on the blue panel, apart from any toolkit: every paint seeds the C
// library's generator with the time in whole seconds and draws 30 rows of six random digits
// plus a text that follows the last digit. The GTK and Win32 front-ends draw what this gives.
#pragma once

#include <array>
#include <string_view>

namespace orven::app {

inline constexpr int kDigitRows = 30;
inline constexpr int kDigitRowHeight = 20;  // row r stands at y = 20 r
// The digit positions of a row, in the order the digits are drawn.
inline constexpr std::array<int, 6> kDigitColumnX{10, 20, 50, 60, 90, 100};
inline constexpr int kDigitTailX = 150;

struct DigitRow {
  std::array<char, 6> digits;  // '0' or '1', one per kDigitColumnX
  std::string_view tail;       // windows-1251 text drawn at x = 150
};

// srand(seed), then one rand() % 2 per digit, row by row, column by column.
std::array<DigitRow, kDigitRows> digit_columns(unsigned seed);

// The seed of a paint: the calendar time in whole seconds.
unsigned paint_seed();

}  // namespace orven::app
