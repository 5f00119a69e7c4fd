// The main window's fixed texts: the caption, the ten introduction lines, the button labels,
// the mode list, the open-file filters and the completion table. Shared by every front-end,
// which converts the bytes for display only; where each stands is app/window_layout.h.
#pragma once

#include <array>
#include <string_view>

#include "texts/cp1251.h"
#include "texts/join.h"
#include "texts/product.h"

namespace orven::texts::window {

namespace detail {
inline constexpr std::string_view kCaptionHead = "ОРВЕН (версия "_cp;
inline constexpr std::string_view kCaptionTail = ".)"_cp;
}  // namespace detail
inline constexpr std::string_view kCaption =
    Joined<detail::kCaptionHead, kVersion, detail::kCaptionTail>::kText;

// The introduction, drawn line by line in this order (where each stands: app/window_layout.h).
inline constexpr std::array<std::string_view, 10> kIntroLines{
    "ОРВЕН: Как стать программистом?"_cp,
    "Программа выполнит анализ кода вашего проекта и предложит методы"_cp,
    "повышения его эффективности. Все результаты будут сохранены в"_cp,
    "формате HTML в виде подробного описания с примерами верного"_cp,
    "исходного кода на анализируемом языке программирования."_cp,
    "Если вы уже использовали ОРВЕН и у вас есть написанные скрипты,"_cp,
    "то просто выберете экспертный режим работы. В этом режиме будет"_cp,
    "исполнен выбранный скрипт. Экспертный режим рекомендован только"_cp,
    "опытным пользователям."_cp,
    "Какой режим использовать?"_cp,
};

// The two buttons' labels; the mode list has none.
inline constexpr std::string_view kNextButton = "Далее"_cp;
inline constexpr std::string_view kExitButton = "Выход"_cp;

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
namespace detail {
inline constexpr std::string_view kDoneHead = "Готово! Результат в файле «"_cp;
inline constexpr std::string_view kDoneTail = "»."_cp;
}  // namespace detail
inline constexpr std::array<Completion, 2> kCompletion{{
    {Joined<detail::kDoneHead, kReportFile, detail::kDoneTail>::kText, kReportFile},
    {Joined<detail::kDoneHead, kLogFile, detail::kDoneTail>::kText, kLogFile},
}};
inline constexpr std::string_view kDoneCaption = "Готово!"_cp;

// The digit columns on the blue panel: the text at x = 150 follows the digit at x = 100 of
// its row.
inline constexpr std::string_view kTailAfterZero = "101001"_cp;
inline constexpr std::string_view kTailAfterOne = "111010"_cp;

}  // namespace orven::texts::window
