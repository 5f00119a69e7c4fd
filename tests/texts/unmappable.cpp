// Must not compile: a fixed text with a character that windows-1251 lacks.
#include "texts/cp1251.h"
using namespace orven::texts::literals;
constexpr auto kBad = "日本"_cp;
int main() { return static_cast<int>(kBad.size()); }
