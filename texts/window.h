// The main window's fixed texts and where they stand: the caption, the ten introduction lines
// with their top-left points and fonts, the controls, the mode list, the open-file filters and
// the completion table. Shared by every front-end, which converts the bytes for display only.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "texts/cp1251.h"

namespace orven::texts::window {
using namespace literals;

inline constexpr std::string_view kCaption = "ОРВЕН (версия 10.4.1.)"_cp;

// The fonts: height is the character cell (ascent + descent) in pixels, weight 500.
struct FontSpec {
  int height;
  std::string_view face;
};
inline constexpr FontSpec kTitleFont{30, "Verdana"};
inline constexpr FontSpec kBodyFont{15, "Verdana"};
inline constexpr FontSpec kControlFont{15, "Arial"};

// Introduction lines, drawn in this order; x and y are the top-left corner of the text.
struct IntroLine {
  std::string_view text;
  bool title;  // the title font; every other line uses the body font
  int x;
  int y;
};
inline constexpr std::array<IntroLine, 10> kIntroLines{{
    {"ОРВЕН: Как стать программистом?"_cp, true, 260, 40},
    {"Программа выполнит анализ кода вашего проекта и предложит методы"_cp, false, 270, 90},
    {"повышения его эффективности. Все результаты будут сохранены в"_cp, false, 270, 110},
    {"формате HTML в виде подробного описания с примерами верного"_cp, false, 270, 130},
    {"исходного кода на анализируемом языке программирования."_cp, false, 270, 150},
    {"Если вы уже использовали ОРВЕН и у вас есть написанные скрипты,"_cp, false, 270, 190},
    {"то просто выберете экспертный режим работы. В этом режиме будет"_cp, false, 270, 210},
    {"исполнен выбранный скрипт. Экспертный режим рекомендован только"_cp, false, 270, 230},
    {"опытным пользователям."_cp, false, 270, 250},
    {"Какой режим использовать?"_cp, false, 300, 360},
}};

// The child controls, in the order they are created; positions are in client coordinates.
struct Control {
  int id;
  std::string_view text;
  int x;
  int y;
  int width;
  int height;  // the mode list's height includes its drop-down part
};
inline constexpr Control kNextButton{1, "Далее"_cp, 630, 520, 95, 28};
inline constexpr Control kExitButton{2, "Выход"_cp, 530, 520, 95, 28};
inline constexpr Control kModeList{3, ""_cp, 300, 380, 400, 150};

// Mode list items: index 0 is training mode, index 1 expert mode; 0 is selected at start.
inline constexpr std::array<std::string_view, 2> kModeItems{
    "Учебный (анализ кода C++, PHP, JavaScript, XHTML)"_cp,
    "Экспертный (исполняет скрипт ОРВЕН)"_cp,
};

// The open-file filters, in order; the first ("XHTML") is preselected for both modes.
struct Filter {
  std::string_view name;
  std::string_view pattern;
};
inline constexpr std::array<Filter, 6> kFilters{{
    {"XHTML"_cp, "*.html"_cp},
    {"PHP"_cp, "*.php"_cp},
    {"PHP (inc)"_cp, "*.inc"_cp},
    {"C++"_cp, "*.cpp"_cp},
    {"C++ (header)"_cp, "*.h"_cp},
    {"Простой текст"_cp, "*.txt"_cp},
}};

// The open-file dialog's title, as a Russian Windows names its Open dialog.
inline constexpr std::string_view kOpenDialogTitle = "Открыть"_cp;

// What a run tells the user and which file it opens, training first, then expert.
struct Completion {
  std::string_view message;
  std::string_view output;
};
inline constexpr std::array<Completion, 2> kCompletion{{
    {"Готово! Результат в файле «result.html»."_cp, "result.html"_cp},
    {"Готово! Результат в файле «orven_log.txt»."_cp, "orven_log.txt"_cp},
}};
inline constexpr std::string_view kDoneCaption = "Готово!"_cp;

// The blue panel on the left and its digit columns.
struct Rgb {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};
inline constexpr Rgb kPanelColour{44, 58, 193};
inline constexpr int kPanelRight = 238;  // the panel covers x 0-238, the black line is x 239
inline constexpr int kPanelLineX = 239;
// The text at x = 150 follows the digit at x = 100 of its row.
inline constexpr std::string_view kTailAfterZero = "101001"_cp;
inline constexpr std::string_view kTailAfterOne = "111010"_cp;

}  // namespace orven::texts::window
