#include "script/numbers.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <system_error>

#include "base/whitespace.h"

namespace orven::script {
namespace {

// The decimal exponent of the first significant digit of a well-formed number that is out
// of a double's range: far above zero when it overflows, far below when it underflows.
long long leading_exponent(std::string_view number) {
  const std::size_t e = std::min(number.find_first_of("eE"), number.size());
  const std::string_view mantissa = number.substr(0, e);
  const auto point = static_cast<long long>(std::min(mantissa.find('.'), mantissa.size()));
  const auto first = static_cast<long long>(mantissa.find_first_not_of("+-0."));
  int exponent = 0;
  if (e < number.size()) {
    const char* digits = number.data() + e + 1 + (number[e + 1] == '+' ? 1 : 0);
    if (std::from_chars(digits, number.data() + number.size(), exponent).ec != std::errc())
      exponent = *digits == '-' ? INT_MIN : INT_MAX;  // beyond an int only the sign counts
  }
  return exponent + point - first - (first < point ? 1 : 0);
}

// The runtime whose logs these are rounds a value lying exactly halfway between two
// six-digit neighbours away from zero, where to_chars (like glibc) rounds it to even. Such a
// value is seven digits ending in 5 times a power of ten. Whole, it is a multiple of five of
// a million or more; fractional, it is a double only when the digits absorb the fives of
// the power, leaving a number below 2^24 over a power of two, which a float holds. These
// cheap tests spare most values the exact expansion that decides (767 significant digits
// hold any double's).
bool is_halfway(double v) {
  const double a = std::fabs(v);
  if (a != std::floor(a)) {
    if (static_cast<float>(a) != a) return false;
  } else if (a < 1e6 || (a < 9e18 && static_cast<long long>(a) % 5 != 0)) {
    return false;
  }
  char digits[800];  // "d.", 766 digits, "e-324"
  char* end =
      std::to_chars(digits, digits + sizeof digits, a, std::chars_format::scientific, 766).ptr;
  return digits[7] == '5' && *std::find_if(digits + 8, end, [](char c) { return c != '0'; }) == 'e';
}

}  // namespace

// The stream's own `>>` costs a stream per line and converts with each platform's C
// library; std::from_chars converts alike everywhere but collects otherwise (no leading
// '+', "5e+" stopped before the 'e', "inf" and "nan" taken) and leaves the value alone out
// of range. So the run is collected here as the stream collects it, and out of range the
// stream's values are given.
Extraction extract_number(std::string_view text, double& value) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && is_whitespace(text[i])) ++i;
  if (i == n) return {i, true};  // the stream's sentry fails before any conversion

  const std::size_t start = i;
  if (text[i] == '+' || text[i] == '-') ++i;
  std::size_t mantissa_digits = 0;
  std::size_t exponent_digits = 0;
  bool point = false;
  bool exponent = false;
  while (i < n) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
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
  const char* first = number.data() + (number[0] == '+' ? 1 : 0);
  const char* last = number.data() + number.size();
  if (std::from_chars(first, last, value).ec != std::errc::result_out_of_range) return {i, false};
  const bool overflow = leading_exponent(number) > 0;
  value = std::copysign(overflow ? DBL_MAX : 0.0, number[0] == '-' ? -1.0 : 1.0);
  return {i, overflow};
}

std::size_t format_number(double v, char* out) {
  if (std::isnan(v)) {
    std::memcpy(out, "nan", 3);
    return 3;
  }
  const double a = std::fabs(v);
  if (a < 1e6 && a == static_cast<int>(a)) {  // six digits at most: the whole number, faster
    out[0] = '-';
    const int sign = std::signbit(v) ? 1 : 0;
    return static_cast<std::size_t>(
        std::to_chars(out + sign, out + kNumberTextMax, static_cast<int>(a)).ptr - out);
  }
  if (std::isfinite(v) && is_halfway(v)) v = std::nextafter(v, 2 * v);  // one ulp outward
  char* end = std::to_chars(out, out + kNumberTextMax, v, std::chars_format::general, 6).ptr;
  if (end - out >= 5 && end[-4] == 'e') {  // the runtime writes three exponent digits
    end[0] = end[-1];
    end[-1] = end[-2];
    end[-2] = '0';
    ++end;
  }
  return static_cast<std::size_t>(end - out);
}

}  // namespace orven::script
