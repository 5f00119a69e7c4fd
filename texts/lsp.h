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

// orven-cli lsp with an argument it does not know.
inline constexpr std::string_view kUsage =
    "Использование: orven-cli lsp [--stdio]\n"
    "Сервер языка (Language Server Protocol) на стандартном вводе и выводе.\n"_cp;

}  // namespace orven::texts::lsp
