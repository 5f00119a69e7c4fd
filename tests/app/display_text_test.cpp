#include "app/display_text.h"

#include <gtest/gtest.h>

#include "texts/cp1251.h"

namespace orven::app {
namespace {

using namespace orven::texts::literals;

// windows-1251 texts reach the screen as UTF-8, every byte of the upper half included.
TEST(DisplayText, Windows1251ToUtf8) {
  EXPECT_EQ(to_utf8("Готово! Результат в файле «result.html»."_cp),
            "Готово! Результат в файле «result.html».");
  EXPECT_EQ(to_utf8("Ёё№–—€ ‰ЎўЈ"_cp), "Ёё№–—€ ‰ЎўЈ");
  EXPECT_EQ(to_utf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(to_utf8("\x98"), "\xEF\xBF\xBD");  // the one unassigned byte
  // Every byte from 0xC0 to 0xFF is one of А..я, two UTF-8 bytes each.
  std::string upper;
  for (int b = 0xC0; b <= 0xFF; ++b) upper.push_back(static_cast<char>(b));
  EXPECT_EQ(to_utf8(upper), "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя");
}

TEST(DisplayText, PathAsUtf8) {
  EXPECT_EQ(path_to_utf8(std::filesystem::path(u8"/дом/проект/отчёт.php")),
            "/дом/проект/отчёт.php");
}

// Text from outside is shown with its control characters and stray bytes escaped, so that it
// cannot steer a terminal; letters of any script, quotes and backslashes stay.
TEST(DisplayText, ControlsAndStrayBytesEscaped) {
  EXPECT_EQ(escape_controls("«отчёт» \\ 'a' \"b\" 😀"), "«отчёт» \\ 'a' \"b\" 😀");
  EXPECT_EQ(escape_controls("x\x1b[31mRED\r\n\t\x7f"), "x\\x1B[31mRED\\x0D\\x0A\\x09\\x7F");
  EXPECT_EQ(escape_controls(std::string_view("a\0b", 3)), "a\\x00b");
  EXPECT_EQ(escape_controls("\xc2\x9b"
                            "31m"),
            "\\u009B31m");  // the one-character CSI
  // Not UTF-8: a stray continuation byte, a cut sequence, an overlong form, a surrogate.
  EXPECT_EQ(escape_controls("\x80\xff"), "\\x80\\xFF");
  EXPECT_EQ(escape_controls("\xd0"), "\\xD0");
  EXPECT_EQ(escape_controls("\xc0\xaf"), "\\xC0\\xAF");
  EXPECT_EQ(escape_controls("\xed\xa0\x80"), "\\xED\\xA0\\x80");
}

}  // namespace
}  // namespace orven::app
