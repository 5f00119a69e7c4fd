// Differential: expert mode's own number reading and writing against the standard library.
// Reading: extract_number, applied again and again to the rest of the text as a line's ten
// extractions are, must match `std::istringstream >> double` of libstdc++ in the classic
// locale: the value (bit for bit, with a value the extraction leaves alone staying alone),
// the failed state, and how far the stream has read. Writing: format_number must match
// "%.6g" of the C library with the exponent widened to three digits and "-nan" as "nan",
// for the doubles read and for the double made of the input's first eight bytes.
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

namespace {

using namespace orven;

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void check_format(double v) {
  char text[script::kNumberTextMax];
  const std::size_t n = script::format_number(v, text);
  ORVEN_FUZZ_CHECK(n <= script::kNumberTextMax);
  const std::string ours(text, n);
  const std::string reference = fuzz::reference_format(v);
  if (ours != reference) fuzz::fail("format_number differs from %.6g", ours + " vs " + reference);
  // The math commands log whole numbers: the same for the ceiling.
  const double whole = std::ceil(v);
  ORVEN_FUZZ_CHECK(
      std::string(text, script::format_number(whole, text)) == fuzz::reference_format(whole),
      std::string(text, script::format_number(whole, text)));
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
