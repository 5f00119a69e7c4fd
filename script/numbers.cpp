#include "script/numbers.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace orven::script {
namespace {

constexpr bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal exponent of the first non-zero digit of a collected number (a well-formed
// one: sign, digits, point, exponent), with the exponent saturated far beyond any double.
// Only asked when the conversion reported a value out of range, to tell overflow from
// underflow whatever the library leaves in the value then.
long long leading_exponent(std::string_view number) {
  std::size_t i = (number[0] == '+' || number[0] == '-') ? 1 : 0;
  long long integer_digits = 0;
  long long position = 0;  // position of the first non-zero digit, counted from the left
  bool seen_nonzero = false;
  bool after_point = false;
  for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
    if (number[i] == '.') {
      after_point = true;
      continue;
    }
    if (!after_point) ++integer_digits;
    if (!seen_nonzero) {
      if (number[i] != '0')
        seen_nonzero = true;
      else
        ++position;
    }
  }
  long long exponent = 0;
  if (i < number.size()) {
    ++i;
    bool negative = false;
    if (number[i] == '+' || number[i] == '-') negative = number[i++] == '-';
    for (; i < number.size(); ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return integer_digits - 1 - position + exponent;
}

}  // namespace

Extraction extract_number(std::string_view text, double& value) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && is_space(text[i])) ++i;
  if (i == n) return {i, true};  // the stream's sentry fails before any conversion

  const std::size_t start = i;
  if (text[i] == '+' || text[i] == '-') ++i;
  std::size_t mantissa_digits = 0;
  std::size_t exponent_digits = 0;
  bool point = false;
  bool exponent = false;
  while (i < n) {
    const char c = text[i];
    if (is_digit(c)) {
      ++(exponent ? exponent_digits : mantissa_digits);
    } else if (c == '.' && !point && !exponent) {
      point = true;
    } else if ((c == 'e' || c == 'E') && !exponent && mantissa_digits > 0) {
      // The exponent's sign is taken with the 'e'; anything else is looked at afresh.
      exponent = true;
      ++i;
      if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
      continue;
    } else {
      break;
    }
    ++i;
  }

  const std::string_view number = text.substr(start, i - start);
  if (mantissa_digits == 0 || (exponent && exponent_digits == 0)) {
    value = 0.0;
    return {i, true};
  }
  // The conversion takes no leading '+'; what is left is a well-formed decimal number.
  const char* first = number.data() + (number[0] == '+' ? 1 : 0);
  const char* last = number.data() + number.size();
  double converted = 0.0;
  const auto [end, error] = std::from_chars(first, last, converted, std::chars_format::general);
  const bool negative = number[0] == '-';
  if (error == std::errc() && end == last) {
    value = converted;
    return {i, false};
  }
  if (error == std::errc::result_out_of_range) {
    if (leading_exponent(number) > 0) {
      value = negative ? -DBL_MAX : DBL_MAX;
      return {i, true};
    }
    value = negative ? -0.0 : 0.0;  // what the nearest double of a tiny number is
    return {i, false};
  }
  value = 0.0;
  return {i, true};
}

namespace {

// A non-negative integer of up to 1280 bits, enough for the exact ratios of any double
// against a power of ten that six significant digits need (at most about 1100 bits).
class BigInt {
 public:
  explicit BigInt(std::uint64_t v) {
    limbs_[0] = static_cast<std::uint32_t>(v);
    limbs_[1] = static_cast<std::uint32_t>(v >> 32);
    size_ = limbs_[1] != 0 ? 2 : 1;
  }

  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (int k = 0; k < size_; ++k) {
      const std::uint64_t p = std::uint64_t{limbs_[k]} * factor + carry;
      limbs_[k] = static_cast<std::uint32_t>(p);
      carry = p >> 32;
    }
    if (carry != 0) limbs_[size_++] = static_cast<std::uint32_t>(carry);
  }

  void multiply_by_power_of_ten(int exponent) {
    for (; exponent >= 9; exponent -= 9) multiply(1'000'000'000);
    for (; exponent > 0; --exponent) multiply(10);
  }

  void shift_left(int bits) {
    const int whole = bits / 32;
    const int part = bits % 32;
    if (part != 0) {
      std::uint32_t carry = 0;
      for (int k = 0; k < size_; ++k) {
        const std::uint32_t next = limbs_[k] >> (32 - part);
        limbs_[k] = (limbs_[k] << part) | carry;
        carry = next;
      }
      if (carry != 0) limbs_[size_++] = carry;
    }
    if (whole != 0) {
      for (int k = size_ - 1; k >= 0; --k) limbs_[k + whole] = limbs_[k];
      for (int k = 0; k < whole; ++k) limbs_[k] = 0;
      size_ += whole;
    }
  }

  void subtract(const BigInt& other) {  // requires *this >= other
    std::int64_t borrow = 0;
    for (int k = 0; k < size_; ++k) {
      std::int64_t d = std::int64_t{limbs_[k]} - borrow - (k < other.size_ ? other.limbs_[k] : 0);
      borrow = d < 0 ? 1 : 0;
      limbs_[k] = static_cast<std::uint32_t>(d + (borrow << 32));
    }
    while (size_ > 1 && limbs_[size_ - 1] == 0) --size_;
  }

  friend int compare(const BigInt& a, const BigInt& b) {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (int k = a.size_ - 1; k >= 0; --k) {
      if (a.limbs_[k] != b.limbs_[k]) return a.limbs_[k] < b.limbs_[k] ? -1 : 1;
    }
    return 0;
  }

 private:
  std::array<std::uint32_t, 40> limbs_{};
  int size_;
};

// The six significant digits of v > 0 and the decimal exponent of the first one.
struct SixDigits {
  std::uint32_t digits;  // 100000 to 999999
  int exponent;
};

constexpr std::array<std::uint64_t, 20> kPowersOfTen = [] {
  std::array<std::uint64_t, 20> p{};
  p[0] = 1;
  for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 10;
  return p;
}();

// Rounds the quotient q (with the remainder's comparison against half the divisor) to
// nearest, ties to even, and carries into the exponent when it reaches a million.
SixDigits finish(std::uint64_t q, int half_comparison, int exponent) {
  if (half_comparison > 0 || (half_comparison == 0 && (q & 1) != 0)) ++q;
  if (q == 1'000'000) return {100'000, exponent + 1};
  return {static_cast<std::uint32_t>(q), exponent};
}

// Whole numbers below 2^63, which is what the commands log, in plain integer arithmetic.
SixDigits six_digits_of_integer(std::uint64_t n) {
  int count = 1;
  while (count < 20 && n >= kPowersOfTen[count]) ++count;
  if (count <= 6) return {static_cast<std::uint32_t>(n * kPowersOfTen[6 - count]), count - 1};
  const std::uint64_t divisor = kPowersOfTen[count - 6];
  const std::uint64_t r = n % divisor;
  const int half = 2 * r > divisor ? 1 : (2 * r == divisor ? 0 : -1);
  return finish(n / divisor, half, count - 1);
}

// Any other finite v > 0, exactly: v = m * 2^e is compared with multiples of 10^k.
SixDigits six_digits_exactly(double v) {
  int binary_exponent = 0;
  const double fraction = std::frexp(v, &binary_exponent);
  auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  int e = binary_exponent - 53;
  for (; (m & 1) == 0; m >>= 1) ++e;  // smaller operands, same ratio
  int decimal_exponent = static_cast<int>(std::floor(std::log10(v)));
  for (;;) {
    // q = floor(v / 10^k) with k = decimal_exponent - 5, as num / den.
    const int k = decimal_exponent - 5;
    BigInt num(m);
    BigInt den(1);
    if (e >= 0)
      num.shift_left(e);
    else
      den.shift_left(-e);
    if (k >= 0)
      den.multiply_by_power_of_ten(k);
    else
      num.multiply_by_power_of_ten(-k);

    std::uint32_t q = 0;
    for (std::uint32_t bit = 1u << 23; bit != 0; bit >>= 1) {
      BigInt trial = den;
      trial.multiply(q | bit);
      if (compare(trial, num) <= 0) q |= bit;
    }
    if (q >= 1'000'000) {
      ++decimal_exponent;
      continue;
    }
    if (q < 100'000) {
      --decimal_exponent;
      continue;
    }
    BigInt below = den;
    below.multiply(q);
    num.subtract(below);  // the remainder
    num.shift_left(1);
    return finish(q, compare(num, den), decimal_exponent);
  }
}

char* write_exponent(char* p, int exponent) {
  *p++ = 'e';
  *p++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  *p++ = static_cast<char>('0' + magnitude / 100);
  *p++ = static_cast<char>('0' + magnitude / 10 % 10);
  *p++ = static_cast<char>('0' + magnitude % 10);
  return p;
}

}  // namespace

std::size_t format_number(double v, char* out) {
  char* p = out;
  if (std::isnan(v)) {
    *p++ = 'n';
    *p++ = 'a';
    *p++ = 'n';
    return 3;
  }
  if (std::signbit(v)) {
    *p++ = '-';
    v = -v;
  }
  if (std::isinf(v)) {
    *p++ = 'i';
    *p++ = 'n';
    *p++ = 'f';
    return static_cast<std::size_t>(p - out);
  }
  if (v == 0.0) {
    *p++ = '0';
    return static_cast<std::size_t>(p - out);
  }

  const SixDigits six = (v >= 1.0 && v < 9.2e18 && v == std::floor(v))
                            ? six_digits_of_integer(static_cast<std::uint64_t>(v))
                            : six_digits_exactly(v);
  char digits[6];
  int count = 6;
  for (int k = 5, d = static_cast<int>(six.digits); k >= 0; --k, d /= 10) {
    digits[k] = static_cast<char>('0' + d % 10);
  }
  while (count > 1 && digits[count - 1] == '0') --count;  // trailing zeros are dropped

  const int x = six.exponent;
  if (x < -4 || x >= 6) {
    *p++ = digits[0];
    if (count > 1) *p++ = '.';
    for (int k = 1; k < count; ++k) *p++ = digits[k];
    p = write_exponent(p, x);
  } else if (x >= 0) {
    for (int k = 0; k <= x; ++k) *p++ = digits[k];
    if (count > x + 1) *p++ = '.';
    for (int k = x + 1; k < count; ++k) *p++ = digits[k];
  } else {
    *p++ = '0';
    *p++ = '.';
    for (int k = x + 1; k < 0; ++k) *p++ = '0';
    for (int k = 0; k < count; ++k) *p++ = digits[k];
  }
  return static_cast<std::size_t>(p - out);
}

}  // namespace orven::script
