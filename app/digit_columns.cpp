#include "app/digit_columns.h"

#include <cstdlib>
#include <ctime>

#include "texts/window.h"

namespace orven::app {

std::array<DigitRow, kDigitRows> digit_columns(unsigned seed) {
  std::array<DigitRow, kDigitRows> rows{};
  std::srand(seed);
  for (DigitRow& row : rows) {
    for (char& digit : row.digits) digit = static_cast<char>('0' + std::rand() % 2);
    row.tail =
        row.digits.back() == '0' ? texts::window::kTailAfterZero : texts::window::kTailAfterOne;
  }
  return rows;
}

unsigned paint_seed() {
  return static_cast<unsigned>(std::time(nullptr));
}

}  // namespace orven::app
