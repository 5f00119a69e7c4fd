// How expert mode reads and writes numbers, identically on every platform and in every
// locale: reading follows the classic formatted extraction of a double from a stream;
// writing follows the default stream format with a three-digit exponent ('2e+006').
#pragma once

#include <cstddef>
#include <string_view>

namespace orven::script {

struct Extraction {
  std::size_t consumed;  // bytes taken from the text, leading whitespace included
  bool failed;           // the stream would now be in its failed state
};

// One `stream >> value` on a stream holding text in the classic locale. Skips whitespace,
// collects the longest run that can form a decimal number (sign, digits, one point, an
// exponent after at least one digit) and converts it as a whole:
// - nothing usable, a lone sign or an exponent without digits: value 0.0, failed;
// - too large for a double: ±largest finite double, failed;
// - too small: the nearest double (a denormal or ±0.0), not failed;
// - nothing but whitespace left: value untouched, failed.
// "inf", "nan" and hexadecimal forms are not numbers ('0x1p3' reads 0 and stops at 'x').
Extraction extract_number(std::string_view text, double& value);

// Longest text format_number writes: "-1.23457e-308" and "-0.000123457" are the widest.
inline constexpr std::size_t kNumberTextMax = 16;

// Writes v with six significant digits as the default stream format does, rounded to
// nearest, a value exactly halfway away from zero ('1234565' is '1.23457e+006'): fixed
// notation for decimal exponents -4 to 5, exponent notation otherwise with at least three
// exponent digits; trailing zeros and a trailing point dropped; "-0", "inf", "-inf", and
// "nan" whatever the sign of a not-a-number.
// Returns the number of bytes written to out (at most kNumberTextMax, no terminating zero).
std::size_t format_number(double v, char* out);

}  // namespace orven::script
