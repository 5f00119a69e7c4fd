// The notice that every run writes to "readme.txt": its pieces in order, each a whole number
// of lines except where the contact e-mail and the site address are filled in. The readme
// writer (app/readme) joins them and stores them with CR LF line ends.
#pragma once

#include <array>
#include <string_view>

#include "texts/cp1251.h"
#include "texts/product.h"

namespace orven::texts::readme {

inline constexpr std::string_view kStars =
    "*************************************************************\n"_cp;

inline constexpr std::array<std::string_view, 22> kPieces{
    "\n\n"_cp,
    "ВНИМАНИЕ!!! Документация встроена в программу. Просто запустите программу и выберете "
    "учебный режим. \n\n"_cp,
    "Мнения, советы и сообщения об ошибках направляйте на адрес: "_cp,
    kContactEmail,
    "\n\n"_cp,
    "Официальный сайт: "_cp,
    kSiteAddress,
    "\n\n"_cp,
    kStars,
    "ОРВЕН\n"
    "Свидетельство о регистрации программы № ОРВЕН-"_cp,
    kVersion,
    "\n"_cp,
    kCopyrightNotice,
    ". Все права защищены.\n"_cp,
    kStars,
    "\n"
    "ЛИЦЕНЗИОННОЕ СОГЛАШЕНИЕ\n"
    "\n"_cp,
    "1. Распространять, использовать и хранить программу «ОРВЕН: Как стать программистом?» "
    "(сокращённо — ОРВЕН) разрешается только при полном соблюдении условий настоящего "
    "соглашения.\n"_cp,
    // Terms 2 to 5 are empty lines.
    "\n\n\n\n"_cp,
    "6. Автор и правообладатель программы ОРВЕН — "_cp,
    kMaker,
    ".\n"_cp,
    "\n"_cp,
};

}  // namespace orven::texts::readme
