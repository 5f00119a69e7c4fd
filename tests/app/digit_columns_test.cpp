#include "app/digit_columns.h"

#include <gtest/gtest.h>

#include <ctime>

namespace orven::app {
namespace {

bool same(const std::array<DigitRow, kDigitRows>& a, const std::array<DigitRow, kDigitRows>& b) {
  for (int r = 0; r < kDigitRows; ++r) {
    if (a[r].digits != b[r].digits || a[r].tail != b[r].tail) return false;
  }
  return true;
}

// The pattern is a function of the seed: the same second draws the same columns, other
// seconds other columns.
TEST(DigitColumns, SameSeedSamePattern) {
  for (const unsigned seed : {0u, 1u, 1331000000u, 4294967295u}) {
    EXPECT_TRUE(same(digit_columns(seed), digit_columns(seed))) << seed;
  }
  EXPECT_FALSE(same(digit_columns(1700000000u), digit_columns(1700000001u)));
  const auto now = static_cast<unsigned>(std::time(nullptr));
  const unsigned seed = paint_seed();
  EXPECT_TRUE(seed == now || seed == now + 1);
}

// Every row holds six digits, each 0 or 1, and the text at x = 150 follows the digit at
// x = 100: "101001" after 0, "111010" after 1.
TEST(DigitColumns, RowsAndTheirTails) {
  int zeros = 0;
  int ones = 0;
  for (unsigned seed = 1000; seed < 1100; ++seed) {
    for (const DigitRow& row : digit_columns(seed)) {
      for (const char d : row.digits) {
        ASSERT_TRUE(d == '0' || d == '1');
        (d == '0' ? zeros : ones)++;
      }
      EXPECT_EQ(row.tail, row.digits[5] == '0' ? "101001" : "111010");
    }
  }
  // Both digits occur in fair measure (18,000 digits drawn).
  EXPECT_GT(zeros, 8000);
  EXPECT_GT(ones, 8000);
}

}  // namespace
}  // namespace orven::app
