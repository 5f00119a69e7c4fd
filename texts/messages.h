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

// orven --help (and orven.exe --help): the window program's command line.
inline constexpr std::string_view kWindowHelp =
    "Использование: orven [ФАЙЛ|ПАПКА]...\n"
    "\n"
    "Окно ОРВЕН: выберите режим и нажмите «Далее». Файлы и папки, названные в командной\n"
    "строке, сразу проверяются в учебном режиме, как выбранные в окне «Открыть»; результат\n"
    "и readme.txt появляются в папке первого из них.\n"
    "\n"
    "  --help      эта справка\n"
    "  --version   версия программы\n"
    "\n"
    "Без окна (в терминале, скриптах и CI) работает orven-cli: orven-cli --help.\n"_cp;

// orven-cli. The usage names every option.
inline constexpr std::string_view kCliUsage =
    "Использование: orven-cli [ПАРАМЕТРЫ] training ПУТЬ...\n"
    "               orven-cli [--open] expert ФАЙЛ\n"
    "               orven-cli --list-rules [--format json] [--select СПИСОК] [--disable СПИСОК]\n"
    "               orven-cli --explain ID | --help | --version\n"
    "               orven-cli lsp\n"
    "Параметры: [--open] [--no-ignore] [--exclude ШАБЛОН]... [--format html|sarif|json|gnu]\n"
    "  [--output ФАЙЛ] [--error-exitcode N] [--select СПИСОК]... [--disable СПИСОК]...\n"
    "  [--baseline ФАЙЛ] [--match code|text] [--color auto|always|never]\n"
    "  [--stdin-filename ИМЯ] [--]\n"
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
    "  orven-cli --list-rules      все правила: номер, раздел, ключевые слова, совет\n"
    "                              (с --format json — в JSON; --select и --disable сужают)\n"
    "  orven-cli --explain ID      совет правила ID (например, W03) и его пример\n"
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
    "                      ФАЙЛ:СТРОКА:СТОЛБЕЦ: note: СОВЕТ [ID] для редакторов. Находки\n"
    "                      указывают правило (W01…W28, C01…C40), ключевое слово, его первое\n"
    "                      место и число вхождений; result.html и readme.txt не пишутся\n"
    "  --output ФАЙЛ       писать результат в ФАЙЛ вместо result.html или стандартного\n"
    "                      вывода; с sarif, json и gnu «-» и /dev/stdout — стандартный\n"
    "                      вывод, /dev/null — никуда; устройства, каналы и ссылки не\n"
    "                      принимаются\n"
    "  --error-exitcode N  код завершения N (от 3 до 125), если осталась хоть одна находка\n"
    "                      с ключевым словом (после --select, --disable, подавления и\n"
    "                      --baseline); общие советы W25–W28 не считаются\n"
    "  --select СПИСОК     только эти правила; --disable СПИСОК — кроме этих. СПИСОК через\n"
    "                      запятую: номера (W03), диапазоны (C01-C10), разделы (web, cpp);\n"
    "                      можно повторять\n"
    "  --baseline ФАЙЛ     прежний вывод --format json или sarif: известные по нему находки\n"
    "                      (то же правило в том же файле, где бы в нём ни стояли) не\n"
    "                      выводятся (в JSON — их число), в SARIF помечены unchanged, а\n"
    "                      исчезнувшие — absent\n"
    "  --match code|text   code (по умолчанию для sarif, json и gnu): ключевые слова только\n"
    "                      в коде своего языка; text: где угодно в тексте, как в отчёте\n"
    "  --color auto|always|never\n"
    "                      цвета строк gnu, как у GCC; auto (по умолчанию) — только на\n"
    "                      терминале и без переменной окружения NO_COLOR\n"
    "  --stdin-filename ИМЯ\n"
    "                      имя стандартного ввода (и по окончанию — его язык), когда ПУТЬ «-»\n"
    "  --                  всё, что дальше, не параметры (для имени, начинающегося с «-»)\n"
    "\n"
    "Значение параметра пишется после пробела или «=»; значение, начинающееся с «-»,\n"
    "только после «=». Параметр с одним значением можно указать один раз.\n"
    "\n"
    "Учебный режим читает файлы и папки в порядке аргументов как один текст; ПУТЬ «-» —\n"
    "стандартный ввод. Из папки и всех вложенных берутся исходники по окончанию имени,\n"
    "в любом регистре: PHP (.php .inc .phtml), HTML/XHTML (.html .htm .xhtml), JavaScript\n"
    "(.js .mjs), C и C++ (.c .cc .cpp .cxx .h .hh .hpp .hxx .inl), по порядку байтов их\n"
    "путей внутри папки. Другие файлы (и .txt) читаются, только если названы в\n"
    "аргументах. Пропускаются скрытые (имя начинается с точки; в Windows и с атрибутом\n"
    "«скрытый» или «системный»), ссылки на папки, выходные файлы ОРВЕН (result.html,\n"
    "readme.txt, orven_log.txt) и всё, что исключают .gitignore (в рабочей копии git),\n"
    ".git/info/exclude, файл исключений пользователя (core.excludesFile) и файлы .ignore.\n"
    "Файл из папки, который не удалось прочитать, пропускается с замечанием; файл,\n"
    "названный в аргументах, — нет: тогда отчёт не записывается. Если в папках нет ни\n"
    "одного исходника и файлы не названы, отчёт не записывается.\n"
    "\n"
    "Разделы советов открываются ключевыми словами: веб-раздел — «<?php» или «</body»,\n"
    "раздел C++ — «<windows.h>» или «#include»; без них советов нет.\n"
    "\n"
    "Подавление находок в исходнике (для sarif, json и gnu): строка с\n"
    "orven-disable-line ID[,ID...] — в этой строке, orven-disable-next-line ID... — в\n"
    "следующей, orven-disable-file ID... — во всём файле; ID может быть all.\n"
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
    "памяти (сообщение называет файл); 2 — ошибка в параметрах; N — с --error-exitcode N,\n"
    "если остались находки.\n"_cp;

// Usage errors, each followed by the usage text: the argument in question is put between.
inline constexpr AroundName kCliUnknownOption{"orven-cli: неизвестный параметр «"_cp, "»\n"_cp};
inline constexpr AroundName kCliUnknownMode{"orven-cli: неизвестный режим «"_cp,
                                            "» (нужен training или expert)\n"_cp};
// lsp after options: the language server takes none of them, and comes first.
inline constexpr std::string_view kCliLspFirst =
    "orven-cli: сервер языка запускается без других параметров: orven-cli lsp [--stdio]\n"_cp;
inline constexpr AroundName kCliExtraArgument{"orven-cli: лишний аргумент «"_cp, "»\n"_cp};
inline constexpr AroundName kCliMissingValue{"orven-cli: после «"_cp, "» нужен шаблон\n"_cp};
inline constexpr AroundName kCliNoValue{"orven-cli: у параметра «"_cp, "» нет значения\n"_cp};
// An option whose value would be the next argument, which is an option itself: the option,
// then that argument.
inline constexpr AroundName kCliValueIsOption{"orven-cli: у параметра «"_cp,
                                              "» нет значения: следом идёт параметр «"_cp};
inline constexpr std::string_view kCliValueIsOptionEnd =
    "» (значение, начинающееся с «-», пишется после «=»)\n"_cp;
inline constexpr AroundName kCliTwice{"orven-cli: параметр «"_cp,
                                      "» указан дважды, а значение у него одно\n"_cp};
inline constexpr AroundName kCliUnknownFormat{"orven-cli: неизвестный формат «"_cp,
                                              "» (нужен html, sarif, json или gnu)\n"_cp};
inline constexpr AroundName kCliUnknownMatch{"orven-cli: неизвестное значение --match «"_cp,
                                             "» (нужен code или text)\n"_cp};
inline constexpr AroundName kCliUnknownColor{"orven-cli: неизвестное значение --color «"_cp,
                                             "» (нужен auto, always или never)\n"_cp};
inline constexpr AroundName kCliBadExitCode{
    "orven-cli: --error-exitcode ждёт число от 3 до 125, а не «"_cp,
    "» (1 — ошибка, 2 — ошибка в параметрах)\n"_cp};
inline constexpr AroundName kCliUnknownRule{
    "orven-cli: нет такого правила, диапазона или раздела «"_cp,
    "» (примеры: W03, C01-C10, web, cpp)\n"_cp};
// An option that only training mode takes, given with expert mode.
inline constexpr AroundName kCliTrainingOnly{"orven-cli: «"_cp,
                                             "» только для учебного режима (training)\n"_cp};
// An option that only the machine formats take, given with the html report (or none).
inline constexpr AroundName kCliFindingsOnly{
    "orven-cli: «"_cp,
    "» только с --format sarif, json или gnu: отчёт result.html всегда один\n"_cp};
inline constexpr std::string_view kCliStdinNameAlone =
    "orven-cli: --stdin-filename называет стандартный ввод, а его среди путей нет (ПУТЬ «-»)\n"_cp;
// --list-rules or --explain with something they do not take.
inline constexpr AroundName kCliRulesOnly{
    "orven-cli: «"_cp,
    "» не сочетается с --list-rules и --explain (они берут только --format json, --select и "
    "--disable)\n"_cp};
inline constexpr AroundName kCliListFormat{
    "orven-cli: --list-rules пишет текст или JSON, а не «"_cp, "»\n"_cp};
inline constexpr std::string_view kCliNoMode = "orven-cli: не указан режим и файл\n"_cp;
inline constexpr std::string_view kCliNoFile = "orven-cli: не указан файл\n"_cp;
// Why an --output is refused before the run: kOutputUnwritable, kCauseLead, one of these,
// kCauseEnd. Nothing follows a link, and a device or a pipe could block for ever.
inline constexpr std::string_view kCauseLink = "это символическая ссылка"_cp;
inline constexpr std::string_view kCauseFifo = "это именованный канал (FIFO)"_cp;
inline constexpr std::string_view kCauseDevice = "это устройство"_cp;
inline constexpr std::string_view kCauseSocket = "это сокет"_cp;
inline constexpr std::string_view kCauseNotFile = "это не обычный файл"_cp;

// --baseline names a file that is not an earlier --format json or sarif output of orven-cli.
inline constexpr AroundName kBaselineUnreadable{
    "Файл «"_cp, "» не годится для --baseline: это не вывод orven-cli --format json или sarif."_cp};

// A machine-format run whose input opened neither section: which keywords open each, between
// the parts.
inline constexpr std::string_view kNoSectionLead =
    "замечание: ни один раздел советов не открыт. Веб-раздел открывает «"_cp;
inline constexpr std::string_view kNoSectionOr = "» или «"_cp;
inline constexpr std::string_view kNoSectionCpp = "», раздел C++ — «"_cp;
inline constexpr std::string_view kNoSectionEnd = "» где угодно во входных файлах."_cp;
// The same with --match code, where the files of a section's languages open it; the note of
// the text matching follows as its second sentence.
inline constexpr std::string_view kNoSectionCode =
    "замечание: ни один раздел советов не открыт. С --match code веб-раздел открывают файлы "
    "PHP, HTML и JavaScript, раздел C++ — файлы C и C++ (по окончанию имени). С --match text "
    "веб-раздел открывает «"_cp;

// A gnu line whose file name editors cannot read: the escaped name, then these around the
// line and the column, then the advice.
struct GnuPlace {
  std::string_view line;
  std::string_view column;
  std::string_view end;
};
inline constexpr GnuPlace kGnuPlace{", строка "_cp, ", столбец "_cp, ": "_cp};

// SARIF: a result's message, its keyword (the rule's, or for a rule without keywords the
// gate's that opened its section) between the first two parts, then the advice as a sentence,
// then kSarifSeeHelp. SARIF's message strings put '{0}' for the keyword.
inline constexpr AroundName kSarifFound{"Найдено '"_cp, "'. "_cp};
inline constexpr AroundName kSarifSectionOpened{"Раздел открыт словом '"_cp, "'. "_cp};
inline constexpr std::string_view kSarifSeeHelp = " Пример — в справке правила."_cp;

// --list-rules and --explain.
inline constexpr std::string_view kRulesNoKeywords = "—"_cp;
inline constexpr std::string_view kExplainWeb = "веб-раздел (PHP и/или XHTML)"_cp;
inline constexpr std::string_view kExplainCpp = "раздел C++"_cp;
inline constexpr std::string_view kExplainKeywords = "ключевые слова: "_cp;
inline constexpr std::string_view kExplainNoKeywords =
    "без ключевых слов: совет даётся всегда, когда раздел открыт"_cp;
inline constexpr std::string_view kExplainExample = "Пример:"_cp;

// The completion message (or the help) could not be written to standard output; the files
// the run wrote stay.
inline constexpr std::string_view kCliStdoutFailed =
    "orven-cli: не удалось вывести текст в стандартный вывод: он закрыт или переполнен\n"_cp;
// Prefix of every failure orven-cli reports on stderr.
inline constexpr std::string_view kCliErrorPrefix = "orven-cli: "_cp;

}  // namespace orven::texts::messages
