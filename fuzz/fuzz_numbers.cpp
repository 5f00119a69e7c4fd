// Differential: expert mode's own number reading and writing against the standard library.
// Reading: extract_number, applied again and again to the rest of the text as a line's ten
// extractions are, must match `std::istringstream >> double` of libstdc++ in the classic
// locale: the value (bit for bit, with a value the extraction leaves alone staying alone),
// the failed state, and how far the stream has read. Writing: format_number must match
// "%.6g" of the C library with the exponent widened to three digits, "-nan" as "nan" and an
// exact tie at the seventh significant digit moved one ulp away from zero first, for the
// doubles read, their ceilings, their nearest ties and the double made of the input's first
// eight bytes.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_common.h"
#include "script/numbers.h"
#include "tests/support/expert_reference.h"

namespace {

using namespace orven;

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void check_one(double v) {
  char text[script::kNumberTextMax];
  const std::size_t n = script::format_number(v, text);
  ORVEN_FUZZ_CHECK(n <= script::kNumberTextMax);
  const std::string ours(text, n);
  const std::string reference = bench::reference_number(v);
  if (ours != reference) fuzz::fail("format_number differs from %.6g", ours + " vs " + reference);
}

void check_format(double v) {
  check_one(v);
  check_one(std::ceil(v));  // the math commands log whole numbers
  if (!std::isfinite(v)) return;
  // The seven-digit decimal nearest v with its last digit made 5: a tie wherever a double
  // holds it exactly, which is where the two roundings part.
  char seven[32];
  const char* end =
      std::to_chars(seven, seven + sizeof seven, v, std::chars_format::scientific, 6).ptr;
  seven[std::signbit(v) ? 8 : 7] = '5';
  double tie = 0;
  std::from_chars(seven, end, tie);
  check_one(tie);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  std::istringstream in{std::string(input)};
  in.imbue(std::locale::classic());
  std::string_view rest = input;
  std::size_t consumed = 0;
  for (int k = 0; k < 12; ++k) {
    constexpr double kUntouched = -12345.6789;
    double ours = kUntouched;
    double reference = kUntouched;
    const script::Extraction e = script::extract_number(rest, ours);
    in >> reference;
    consumed += e.consumed;
    const auto position =
        static_cast<std::size_t>(in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in));
    const std::string context(
        input.substr(0, consumed + 1 < input.size() ? consumed + 1 : input.size()));
    ORVEN_FUZZ_CHECK(e.failed == in.fail(), context);
    ORVEN_FUZZ_CHECK(same_bits(ours, reference), context);
    ORVEN_FUZZ_CHECK(position == consumed, context);
    if (e.failed) break;
    rest.remove_prefix(e.consumed);
    check_format(ours);
  }

  // Any double at all: the first eight bytes, as they lie.
  if (size >= sizeof(double)) {
    double v = 0;
    std::memcpy(&v, data, sizeof v);
    check_format(v);
  }
  return 0;
}
