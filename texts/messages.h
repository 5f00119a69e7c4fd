// The messages a run shows when something went wrong, and the texts of the command-line
// program. A message that names a file is the text before the name, the name, and the text
// after it; the run sequence puts them together.
#pragma once

#include <array>
#include <string_view>

#include "texts/cp1251.h"

namespace orven::texts::messages {

inline constexpr std::string_view kErrorCaption = "Ошибка"_cp;

// A message around a file name: before + name + after.
struct AroundName {
  std::string_view before;
  std::string_view after;
};

// The chosen file could not be opened or read; no output was touched.
inline constexpr AroundName kInputUnreadable{"Не удалось прочитать файл «"_cp, "»."_cp};
// The chosen name is a folder, a device or a pipe, which is never read: a device has no end
// and a pipe waits for a writer.
inline constexpr AroundName kInputNotRegularFile{
    "Не удалось прочитать «"_cp, "» — не обычный файл, а папка, устройство или канал."_cp};
// Notes on an input met in a folder and skipped by a training run, which goes on without it.
inline constexpr AroundName kSkippedUnreadable{"Файл «"_cp,
                                               "» пропущен: его не удалось прочитать."_cp};
inline constexpr AroundName kSkippedNotRegular{
    "«"_cp, "» пропущен: это не обычный файл, а устройство, канал или сокет."_cp};
inline constexpr AroundName kSkippedFolder{"Папка «"_cp,
                                           "» пропущена: её содержимое не удалось прочитать."_cp};
// Windows: a name in a walked folder that is not valid UTF-16 cannot be opened by any name.
inline constexpr AroundName kSkippedBadName{
    "«"_cp, "» пропущен: его имя не записывается в Unicode (UTF-16)."_cp};
// Training mode was given folders only, and they hold no source file: the paths given stand
// between, each in quotes, separated by kNoSourcesBetween.
inline constexpr AroundName kNoSources{
    "В «"_cp,
    "» нет исходных файлов (*.php, *.html, *.js, *.cpp, *.h и других). Отчёт не записан."_cp};
inline constexpr std::string_view kNoSourcesBetween = "», «"_cp;
// After kNoSources, for each folder given that ignore rules leave out (or all that a walk of
// it would take): the folder, the rule's pattern, then its line and file, or kIgnoredByExclude
// for an --exclude pattern.
inline constexpr AroundName kIgnoredFolder{" Файлы из «"_cp, "» исключены правилом «"_cp};
inline constexpr std::string_view kIgnoredLine = "» (строка "_cp;
inline constexpr AroundName kIgnoredFile{" файла «"_cp, "»)."_cp};
inline constexpr std::string_view kIgnoredByExclude = "» (параметр --exclude)."_cp;
// orven-cli adds after a rule of an ignore file what takes the files all the same.
inline constexpr std::string_view kNoIgnoreTakesThem = " Взять их: --no-ignore."_cp;
// orven-cli --output names a file the run reads (given, or met in a folder): the output as
// given, then the input as the walk met it. Nothing was read into it or written.
inline constexpr AroundName kOutputIsInput{"Файл для --output «"_cp, "» — это и входной файл «"_cp};
inline constexpr std::string_view kOutputIsInputEnd =
    "»: ничего не записано. Укажите для --output другой файл."_cp;
// Expert mode was given more than one path (dropped on the window, or on its command line);
// the name is the first path too many. Nothing ran.
inline constexpr AroundName kExpertOneScript{
    "Экспертный режим исполняет один скрипт за раз, а выбрано несколько файлов: «"_cp,
    "» и другие не исполнены. Выберите один файл."_cp};
// result.html (or the log) could not be written.
inline constexpr AroundName kOutputUnwritable{"Не удалось записать файл «"_cp, "»."_cp};
// The log could not take every line: the name, then the number of lines lost.
inline constexpr AroundName kLogLinesLost{"Не удалось дописать файл «"_cp,
                                          "». Потеряно строк журнала: "_cp};
inline constexpr std::string_view kLogLinesLostEnd = "."_cp;
// Memory ran out while the mode worked on the file; no partial output was left.
inline constexpr AroundName kOutOfMemory{"Не хватило памяти для обработки файла «"_cp,
                                         "». Результат не записан."_cp};
// Memory ran out before the run could start; nothing was done.
inline constexpr std::string_view kNoMemoryForRun =
    "Не хватило памяти, чтобы начать работу. Ничего не сделано."_cp;

// A readme.txt that this program did not write (a user's own, a link, a folder) is kept.
inline constexpr AroundName kReadmeNotOurs{
    "Файл «"_cp, "» не перезаписан: это не readme.txt программы ОРВЕН."_cp};

// orven-cli adds why a file could not be read or written after its message: kCauseLead,
// the cause (one of the common ones below, in the order of platform::Cause from
// no_such_file on, or the system's own text), kCauseEnd. The windows keep their texts.
inline constexpr std::string_view kCauseLead = " Причина: "_cp;
inline constexpr std::string_view kCauseEnd = "."_cp;
inline constexpr std::array<std::string_view, 9> kCauses{
    "нет такого файла или папки"_cp,
    "нет прав доступа"_cp,
    "это папка"_cp,
    "нет места на диске"_cp,
    "файловая система только для чтения"_cp,
    "файл слишком велик"_cp,
    "ошибка ввода-вывода"_cp,
    "слишком длинное имя"_cp,
    "слишком много ссылок"_cp,
};

// Something the run did not expect went wrong; the reason follows.
inline constexpr std::string_view kInternalError = "Внутренняя ошибка, работа прервана: "_cp;

// The desktop program started where there is no display to show its window on.
inline constexpr std::string_view kNoDisplay =
    "orven: нет доступа к графическому дисплею (X11 или Wayland); без окна работает "
    "orven-cli, например: orven-cli training ФАЙЛ"_cp;

// orven-cli.
inline constexpr std::string_view kCliUsage =
    "Использование: orven-cli [--open] [--no-ignore] [--exclude ШАБЛОН]... training ПУТЬ...\n"
    "               orven-cli [--open] expert ФАЙЛ\n"
    "Справка: orven-cli --help\n"_cp;

inline constexpr std::string_view kCliHelp =
    "ОРВЕН — советы по коду и скрипты ОРВЕН из командной строки.\n"
    "\n"
    "Использование:\n"
    "  orven-cli training ПУТЬ...  учебный режим: отчёт с советами по исходному коду\n"
    "                              файлов и папок ПУТЬ записывается в result.html\n"
    "  orven-cli training --format sarif|json|gnu [--output ФАЙЛ] ПУТЬ...\n"
    "                              находки в формате для CI, скриптов и редакторов (UTF-8)\n"
    "                              на стандартный вывод или в ФАЙЛ\n"
    "  orven-cli expert ФАЙЛ       экспертный режим: исполняет скрипт ФАЙЛ и дописывает\n"
    "                              по строке на команду в orven_log.txt\n"
    "  orven-cli lsp               сервер языка (LSP) для редакторов: советы к открытым\n"
    "                              документам на стандартном вводе и выводе\n"
    "  orven-cli --help            эта справка\n"
    "  orven-cli --version         версия программы\n"
    "\n"
    "Параметры:\n"
    "  --open              открыть результат в программе, связанной с ним в системе\n"
    "  --no-ignore         не смотреть в .gitignore, .ignore и файлы исключений git\n"
    "  --exclude ШАБЛОН    пропускать и это (синтаксис .gitignore, от каждой папки ПУТЬ);\n"
    "                      можно повторять\n"
    "  --format html|sarif|json|gnu\n"
    "                      html (по умолчанию): отчёт result.html; sarif: SARIF 2.1.0 для\n"
    "                      CI; json: свой формат для скриптов; gnu: строки\n"
    "                      ФАЙЛ:СТРОКА:СТОЛБЕЦ: note: для редакторов. Находки указывают\n"
    "                      правило (W01…W28, C01…C40), ключевое слово, его первое место\n"
    "                      и число вхождений; result.html и readme.txt не пишутся\n"
    "  --output ФАЙЛ       писать результат в ФАЙЛ вместо result.html или стандартного\n"
    "                      вывода\n"
    "  --                  всё, что дальше, не параметры (для имени, начинающегося с «-»)\n"
    "\n"
    "Учебный режим читает файлы и папки в порядке аргументов как один текст. Из папки\n"
    "и всех вложенных берутся исходники по окончанию имени, в любом регистре: PHP\n"
    "(.php .inc .phtml), HTML/XHTML (.html .htm .xhtml), JavaScript (.js .mjs), C и C++\n"
    "(.c .cc .cpp .cxx .h .hh .hpp .hxx .inl), по порядку байтов их путей внутри папки.\n"
    "Другие файлы (и .txt) читаются, только если названы в аргументах. Пропускаются\n"
    "скрытые (имя начинается с точки; в Windows и с атрибутом «скрытый» или «системный»),\n"
    "ссылки на папки, выходные файлы ОРВЕН (result.html, readme.txt, orven_log.txt) и\n"
    "всё, что исключают .gitignore (в рабочей копии git), .git/info/exclude, файл\n"
    "исключений пользователя (core.excludesFile) и файлы .ignore. Файл из папки, который\n"
    "не удалось прочитать, пропускается с замечанием; файл, названный в аргументах, —\n"
    "нет: тогда отчёт не записывается. Если в папках нет ни одного исходника и файлы не\n"
    "названы, отчёт не записывается.\n"
    "\n"
    "Отчёт (без --output) и readme.txt записываются в текущую папку; с --format sarif,\n"
    "json или gnu readme.txt не пишется.\n"
    "\n"
    "Команды экспертного режима, по одной в строке, аргументы A B C D — числа через\n"
    "пробел (подробно и с примерами: man orven-cli):\n"
    "  #root::math::vptya A          A*0.98\n"
    "  #root::math::vptga A          A*0.97\n"
    "  #root::math::oerp A B C D     A*B-D\n"
    "  #root::math::pkss A           A*0.12\n"
    "  #root::math::pavbsm A         A*0.16\n"
    "  #root::math::pbtscp A         A*0.12\n"
    "  #root::math::get_ctr A B      A/B*100\n"
    "  #root::math::get_cnvr A B     A/B\n"
    "  #root::math::get_aimcost A B  A*B\n"
    "  #root::hv::get_ИМЯ A          1, если A в норме, иначе 0:\n"
    "    needcms A>=20, ajax A<=8, jqanimate A<6, jqappend A>=980, domcss A>=3,\n"
    "    domtoggle A>=5, sgmsricms A>=420, dagcn A>=120;\n"
    "    1<A<N: strlenTITLE 31, strlenH1 18, strlenH2 20, strlenH3 20, strlenH4 20,\n"
    "    strlenKW 61, strlenDES 171, strlenSTRONG 80, strlenEM 154, strlenALT 210,\n"
    "    strlenTITLE_atr 232, cntwordTITLE 221, cntwordH1 221, cntwordH2 223,\n"
    "    cntwordH3 221, cntwordH4 123, cntwordKW 111, cntwordDES 322,\n"
    "    cntwordSTRONG 312, cntwordEM 123, cntwordALT 322, cntwordTITLE_atr 312\n"
    "\n"
    "Код завершения: 0 — готово; 1 — файл не прочитан, результат не записан или не хватило\n"
    "памяти (сообщение называет файл); 2 — ошибка в параметрах.\n"_cp;

// Usage errors, each followed by the usage text: the argument in question is put between.
inline constexpr AroundName kCliUnknownOption{"orven-cli: неизвестный параметр «"_cp, "»\n"_cp};
inline constexpr AroundName kCliUnknownMode{"orven-cli: неизвестный режим «"_cp,
                                            "» (нужен training или expert)\n"_cp};
inline constexpr AroundName kCliExtraArgument{"orven-cli: лишний аргумент «"_cp, "»\n"_cp};
inline constexpr AroundName kCliMissingValue{"orven-cli: после «"_cp, "» нужен шаблон\n"_cp};
inline constexpr AroundName kCliNoValue{"orven-cli: у параметра «"_cp, "» нет значения\n"_cp};
inline constexpr AroundName kCliUnknownFormat{"orven-cli: неизвестный формат «"_cp,
                                              "» (нужен html, sarif, json или gnu)\n"_cp};
inline constexpr std::string_view kCliTrainingOnly =
    "orven-cli: --format и --output только для учебного режима (training)\n"_cp;
inline constexpr std::string_view kCliNoMode = "orven-cli: не указан режим и файл\n"_cp;
inline constexpr std::string_view kCliNoFile = "orven-cli: не указан файл\n"_cp;
// The completion message (or the help) could not be written to standard output; the files
// the run wrote stay.
inline constexpr std::string_view kCliStdoutFailed =
    "orven-cli: не удалось вывести текст в стандартный вывод: он закрыт или переполнен\n"_cp;
// Prefix of every failure orven-cli reports on stderr.
inline constexpr std::string_view kCliErrorPrefix = "orven-cli: "_cp;

}  // namespace orven::texts::messages
