// Number reading against libstdc++'s own `istringstream >> double` in the classic locale, and
// number writing against printf's "%.6g" as the benchmark's reference brings it to the log's
// form (three exponent digits, exact ties moved one ulp away from zero).
#include "script/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/expert_reference.h"

namespace {

using orven::bench::reference_number;
using orven::script::extract_number;
using orven::script::format_number;

struct Read {
  double value;
  bool failed;
  std::string rest;
};

Read stream_read(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double value = 12345.0;
  in >> value;
  const bool failed = in.fail();
  in.clear();
  return {value, failed, std::string(std::istreambuf_iterator<char>(in), {})};
}

Read our_read(const std::string& text) {
  double value = 12345.0;
  const orven::script::Extraction e = extract_number(text, value);
  return {value, e.failed, text.substr(e.consumed)};
}

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

void expect_same_read(const std::string& text) {
  const Read want = stream_read(text);
  const Read got = our_read(text);
  EXPECT_EQ(bits(got.value), bits(want.value))
      << "'" << text << "': " << got.value << " vs " << want.value;
  EXPECT_EQ(got.failed, want.failed) << "'" << text << "'";
  EXPECT_EQ(got.rest, want.rest) << "'" << text << "'";
}

std::string our_format(double v) {
  char text[orven::script::kNumberTextMax];
  return std::string(text, format_number(v, text));
}

// Reading: the documented cases, then tricky tokens and random ones against the stream.
TEST(ScriptNumberReading, DocumentedCases) {
  double v = 7;
  EXPECT_FALSE(extract_number("100abc", v).failed);
  EXPECT_EQ(v, 100.0);
  EXPECT_EQ(extract_number("100abc", v).consumed, 3u);
  EXPECT_TRUE(extract_number("abc", v).failed);
  EXPECT_EQ(v, 0.0);
  v = 7;
  EXPECT_EQ(extract_number("1,5", v).consumed, 1u);
  EXPECT_EQ(v, 1.0);
  EXPECT_TRUE(extract_number(",5", v).failed);
  EXPECT_EQ(v, 0.0);
  EXPECT_TRUE(extract_number("1e400", v).failed);
  EXPECT_EQ(v, DBL_MAX);
  EXPECT_TRUE(extract_number("-1e400", v).failed);
  EXPECT_EQ(v, -DBL_MAX);
  v = 7;
  EXPECT_TRUE(extract_number("-", v).failed);
  EXPECT_EQ(v, 0.0);
  v = 7;
  EXPECT_TRUE(extract_number("5e+", v).failed);
  EXPECT_EQ(v, 0.0);
  v = 7;
  EXPECT_TRUE(extract_number(" \t\r ", v).failed);  // only whitespace: untouched
  EXPECT_EQ(v, 7.0);
}

TEST(ScriptNumberReading, UnderflowGivesTheNearestDoubleWithoutFailing) {
  double v = 7;
  EXPECT_FALSE(extract_number("1e-400", v).failed);
  EXPECT_EQ(bits(v), bits(0.0));
  EXPECT_FALSE(extract_number("-1e-400", v).failed);
  EXPECT_EQ(bits(v), bits(-0.0));
  EXPECT_FALSE(extract_number("3e-324", v).failed);
  EXPECT_EQ(v, std::numeric_limits<double>::denorm_min());
}

TEST(ScriptNumberReading, TrickyTokensMatchTheStream) {
  const std::vector<std::string> tokens = {"",
                                           " ",
                                           "0",
                                           "-0",
                                           "+0",
                                           "00012",
                                           "1e-400",
                                           "-1e-400",
                                           "1e-310",
                                           "3e-324",
                                           "2e-324",
                                           "-2e-324",
                                           "2.4703282292062328e-324",
                                           "2.4703282292062327e-324",
                                           "4.9406564584124654e-324",
                                           "2.2250738585072011e-308",
                                           "2.2250738585072014e-308",
                                           "1e400",
                                           "-1e400",
                                           "1.7976931348623157e308",
                                           "1.7976931348623158e308",
                                           "1.7976931348623159e308",
                                           "-1.797693134862315807e308",
                                           "1.797693134862315808e308",
                                           "9007199254740993",
                                           "9007199254740993.0000000000000000000001",
                                           "0.1",
                                           "0.30000000000000004",
                                           "123456789012345678901234567890e-30",
                                           "inf",
                                           "-inf",
                                           "+inf",
                                           "nan",
                                           "NaN",
                                           "infinity",
                                           "0x1p3",
                                           "0X10",
                                           "1e",
                                           "1e+",
                                           "1e-",
                                           "1E5",
                                           "1e+5x",
                                           "1e0009",
                                           "+",
                                           "-",
                                           "+-5",
                                           "--1",
                                           ".5",
                                           ".",
                                           "5.",
                                           "-.5",
                                           "+.5e-3",
                                           "1.5.3",
                                           ".e1",
                                           "e5",
                                           "E5",
                                           "0e5",
                                           "1,5",
                                           "100abc",
                                           "  7",
                                           "\t\v\f\r8",
                                           "1e5.5",
                                           "1ee5",
                                           "1e5e5",
                                           "1.e5",
                                           ".0e-0",
                                           "00000.00000e00000",
                                           "1e-99999999999999999999",
                                           "1e2147483647",
                                           "1e2147483648",
                                           "1e-2147483648",
                                           "1e-2147483649",
                                           "100000e-2147483649",
                                           "0.00001e2147483648",
                                           "1e99999999999999999999",
                                           "0e99999999999999999999",
                                           "-0e-99999999999999999999",
                                           "0.0000000001e400",
                                           "0.01e311",
                                           "0.001e311",
                                           "1000000e-400",
                                           "1000e-330",
                                           "100000000000000000000e-330",
                                           std::string("12\0"
                                                       "34",
                                                       5),
                                           "\xEF\xBB\xBF"
                                           "5",
                                           "5\xA0",
                                           "\x85"
                                           "5",
                                           "1'000",
                                           "1 000",
                                           "٣",
                                           "1e+-5",
                                           "1e-+5",
                                           "+.",
                                           "-.e5",
                                           "0.e",
                                           std::string(400, '9'),
                                           "0." + std::string(400, '0') + "1e400",
                                           "1" + std::string(310, '0'),
                                           "1" + std::string(308, '0'),
                                           "0." + std::string(330, '0') + "5",
                                           "2." + std::string(1000, '0') + "1",
                                           "9007199254740992." + std::string(800, '0') + "1"};
  for (const std::string& t : tokens) expect_same_read(t);
}

TEST(ScriptNumberReading, RandomTokensMatchTheStream) {
  std::mt19937_64 random(20240611);
  const std::string alphabet = "0123456789012345678901234567890..eE+-+- x,a\t";
  for (int n = 0; n < 100000; ++n) {
    std::string t;
    const int length = 1 + static_cast<int>(random() % 14);
    for (int k = 0; k < length; ++k) t += alphabet[random() % alphabet.size()];
    expect_same_read(t);
    if (HasFailure()) break;
  }
  // Well-formed numbers of every size, around the ends of the double range.
  for (int n = 0; n < 100000; ++n) {
    std::string t = (random() % 2) ? "-" : "";
    const int digits = 1 + static_cast<int>(random() % 25);
    for (int k = 0; k < digits; ++k) t += static_cast<char>('0' + random() % 10);
    if (random() % 2) t.insert(t.size() - random() % digits, ".");
    t += "e" + std::to_string(static_cast<int>(random() % 720) - 360);
    expect_same_read(t);
    if (HasFailure()) break;
  }
}

// Writing: the documented texts first, then printf's digits for every kind of double.
TEST(ScriptNumberWriting, DocumentedTexts) {
  EXPECT_EQ(our_format(980), "980");
  EXPECT_EQ(our_format(-5), "-5");
  EXPECT_EQ(our_format(0), "0");
  EXPECT_EQ(our_format(-0.0), "-0");
  EXPECT_EQ(our_format(999000), "999000");
  EXPECT_EQ(our_format(999999), "999999");
  EXPECT_EQ(our_format(1000000), "1e+006");
  EXPECT_EQ(our_format(-1000000), "-1e+006");
  EXPECT_EQ(our_format(2000000), "2e+006");
  EXPECT_EQ(our_format(1209876), "1.20988e+006");
  EXPECT_EQ(our_format(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(our_format(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(our_format(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(our_format(-std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(our_format(1), "1");
  EXPECT_EQ(our_format(0.0001), "0.0001");
  EXPECT_EQ(our_format(0.00001), "1e-005");
  EXPECT_EQ(our_format(999999.5), "1e+006");
  EXPECT_EQ(our_format(DBL_MAX), "1.79769e+308");
  EXPECT_EQ(our_format(-std::numeric_limits<double>::denorm_min()), "-4.94066e-324");
}

// A value exactly halfway at the seventh significant digit rounds away from zero, whole or
// not, large or small; a hair off the tie, or a decimal tie no double holds, rounds to nearest.
TEST(ScriptNumberWriting, ExactTiesRoundAwayFromZero) {
  EXPECT_EQ(our_format(1234565), "1.23457e+006");
  EXPECT_EQ(our_format(12345650), "1.23457e+007");
  EXPECT_EQ(our_format(-1234575), "-1.23458e+006");
  EXPECT_EQ(our_format(-1234565), "-1.23457e+006");
  EXPECT_EQ(our_format(9999995), "1e+007");
  EXPECT_EQ(our_format(123456.5), "123457");
  EXPECT_EQ(our_format(12345.25), "12345.3");
  EXPECT_EQ(our_format(0.0009765625), "0.000976563");
  EXPECT_EQ(our_format(1.234565e20), "1.23457e+020");
  EXPECT_EQ(our_format(std::nextafter(1234565.0, 0.0)), "1.23456e+006");
  EXPECT_EQ(our_format(std::nextafter(123456.5, 0.0)), "123456");
  EXPECT_EQ(our_format(1234564.5), "1.23456e+006");
  EXPECT_EQ(our_format(0.1234565), "0.123456");
  EXPECT_EQ(our_format(1.234565e25), "1.23456e+025");
}

TEST(ScriptNumberWriting, EdgeValuesMatchPrintf) {
  const double edges[] = {999999.5,
                          999999.49999999994,
                          9999995,
                          9999994.999999999,
                          9999985,
                          1234565,
                          1234575,
                          1e6,
                          1e6 - 0.5,
                          0.0001,
                          0.00009999995,
                          0.000099999949,
                          1e-5,
                          0.5,
                          2.5,
                          1.5,
                          100000.5,
                          12345.65,
                          0.1,
                          1.0 / 3,
                          2.0 / 3,
                          DBL_MAX,
                          -DBL_MAX,
                          DBL_MIN,
                          std::numeric_limits<double>::denorm_min(),
                          DBL_MIN - std::numeric_limits<double>::denorm_min(),
                          9.2e18,
                          9.3e18,
                          9223372036854775807.0,
                          18446744073709551615.0,
                          1e15,
                          1e16,
                          1e17,
                          123456789012345678.0,
                          4503599627370497.0,
                          9007199254740993.0,
                          0.30000000000000004,
                          1e-300,
                          1e300,
                          1e100,
                          5e-324,
                          1e-310};
  for (double v : edges) {
    EXPECT_EQ(our_format(v), reference_number(v)) << v;
    EXPECT_EQ(our_format(-v), reference_number(-v)) << -v;
    EXPECT_EQ(our_format(std::nextafter(v, 0.0)), reference_number(std::nextafter(v, 0.0)));
    EXPECT_EQ(our_format(std::nextafter(v, DBL_MAX)), reference_number(std::nextafter(v, DBL_MAX)));
  }
}

TEST(ScriptNumberWriting, RandomValuesMatchPrintf) {
  std::mt19937_64 random(7);
  for (int n = 0; n < 200000; ++n) {
    std::uint64_t b = random();
    double v;
    std::memcpy(&v, &b, sizeof v);
    if (std::isnan(v)) continue;
    EXPECT_EQ(our_format(v), reference_number(v)) << std::hexfloat << v;
    // Whole numbers, as the commands produce them.
    const double whole = static_cast<double>(random() >> (random() % 64));
    EXPECT_EQ(our_format(whole), reference_number(whole)) << whole;
    // Six digits and a half, where the rounding ties lie.
    const double tie = (static_cast<double>(random() % 900000 + 100000) + 0.5) *
                       std::pow(10.0, static_cast<int>(random() % 40) - 20);
    EXPECT_EQ(our_format(tie), reference_number(tie)) << tie;
    if (HasFailure()) break;
  }
}

}  // namespace
