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

}  // namespace
}  // namespace orven::app
