// The texts of the language server (orven-cli lsp): the title of its code action, the
// messages of the errors it answers requests with, and its notes on standard error. Editors
// show them in their menus and logs.
#pragma once

#include <string_view>

#include "texts/cp1251.h"

namespace orven::texts::lsp {

// The code action that puts an orven-disable-line marker on a line: before, the rule's id,
// after.
inline constexpr std::string_view kDisableLineBefore = "Отключить совет "_cp;
inline constexpr std::string_view kDisableLineAfter = " в этой строке"_cp;

// The messages of JSON-RPC errors; a method's name follows kMethodNotFound.
inline constexpr std::string_view kParseError = "Сообщение не разобрано: это не JSON."_cp;
inline constexpr std::string_view kInvalidRequest = "Это не запрос JSON-RPC 2.0."_cp;
inline constexpr std::string_view kTooLarge =
    "Сообщение длиннее 64 МиБ пропущено, не прочитанным."_cp;
inline constexpr std::string_view kNotInitialized = "Сервер ещё не получил initialize."_cp;
inline constexpr std::string_view kInitializedTwice = "initialize уже был."_cp;
inline constexpr std::string_view kShutDown = "Сервер уже получил shutdown."_cp;
inline constexpr std::string_view kMethodNotFound = "Неизвестный метод: "_cp;
inline constexpr std::string_view kInvalidParams = "Неверные параметры запроса."_cp;

// Notes on standard error, which editors keep in the server's log.
inline constexpr std::string_view kSkippedBytes =
    "orven-cli lsp: байты без верного заголовка Content-Length пропущены\n"_cp;
inline constexpr std::string_view kSkippedLarge =
    "orven-cli lsp: сообщение длиннее 64 МиБ пропущено\n"_cp;
inline constexpr std::string_view kNotJson = "orven-cli lsp: сообщение не в JSON пропущено\n"_cp;
inline constexpr std::string_view kUnknownDocument =
    "orven-cli lsp: уведомление о неоткрытом документе пропущено: "_cp;

// orven-cli lsp with an argument it does not know (on standard error, before status 2).
inline constexpr std::string_view kUsage =
    "Использование: orven-cli lsp [--stdio]\n"
    "Справка: orven-cli lsp --help\n"_cp;

// orven-cli lsp --help.
inline constexpr std::string_view kHelp =
    "Использование: orven-cli lsp [--stdio]\n"
    "\n"
    "Сервер языка (Language Server Protocol 3.17) для редакторов: сообщения JSON-RPC\n"
    "с заголовком Content-Length на стандартном вводе и выводе. Его запускает редактор.\n"
    "\n"
    "Каждый открытый документ PHP, HTML/XHTML, JavaScript, C или C++ (язык — по окончанию\n"
    "имени) получает диагностики: по одной на каждое вхождение ключевого слова\n"
    "сработавшего совета в коде своего языка, не больше 1000 на документ, с номером\n"
    "правила (W03, C12) как кодом. Отметки orven-disable-line, orven-disable-next-line,\n"
    "orven-disable-file и правила исключения (.gitignore, .ignore) учитываются.\n"
    "Подсказка на диагностике показывает совет и пример, действие дописывает в строку\n"
    "отметку orven-disable-line. Позиции — в единицах UTF-16 или в байтах UTF-8, если\n"
    "клиент это предлагает.\n"
    "\n"
    "  --stdio     стандартные ввод и вывод (так и без него)\n"
    "  --help      эта справка\n"
    "\n"
    "Код завершения: 0 — по exit после shutdown; 1 — по exit без shutdown, в конце\n"
    "ввода или когда завершился процесс клиента (processId из initialize); 2 — ошибка\n"
    "в параметрах. Настройка редакторов: man orven-cli.\n"_cp;

}  // namespace orven::texts::lsp
