// The advice and example texts of both rule lists as the report must carry them, rule by
// rule. An empty example means that only parts of it are fixed; those are checked apart.
#pragma once

#include <array>
#include <string_view>

#include "texts/cp1251.h"

namespace orven::testing {
using namespace texts::literals;

struct ExpectedRule {
  std::string_view advice;
  std::string_view example;
};

// clang-format off
inline const std::array<ExpectedRule, 28> kWebExpected{{
    {"Для работы с файлами проще использовать следующие функции:"_cp,
     "$hf_cnt = file_get_contents('1.txt');<br/>file_put_contents('2.txt', 'data', FILE_APPEND | LOCK_EX);"_cp},  // 1
    {"Очень важно использовать в циклах только действительно необходимые функции, так как именно от правильного написания циклов зависит быстродействие большинства программ. Во многих случаях достаточно удобен следующий простой приём использования функции для обработки данных массива:"_cp,
     "$a = array(1, 2, 3, 4, 5, 6, 7);<br/>foreach ($a as $b) { your_foo($b);}"_cp},  // 2
    {"В запросах к базе данных установите кодировку и используйте безопасный способ ввода данных или запроса по шаблону. Это поможет избежать различных атак хакеров на ваш сайт."_cp,
     {}},  // 3
    {"Все повторяющееся операции при создании и удалении класса лучше помещать в конструктор и деструктор этого класса:"_cp,
     {}},  // 4
    {"Часто дополнять классы (наследование) более удобно, чем переписывать:"_cp,
     {}},  // 5
    {"При передаче данных экранируйте символы:"_cp,
     "htmlspecialchars($_POST['abcde'], ENT_QUOTES);"_cp},  // 6
    {"Улучшенная сортировка с проверкой на уникальность:"_cp,
     "$array = array_unique($array);<br/>natsort($array);"_cp},  // 7
    {"Во многих случаях обрабатывать XML проще так:"_cp,
     "simplexml_load_string($str);"_cp},  // 8
    {"Для прямой загрузки и обработки XML из файла или сервера:"_cp,
     "simplexml_load_file('1.xml');"_cp},  // 9
    {"На стадии отладки можно видеть передаваемые переменные:"_cp,
     "var_dump($_REQUEST);"_cp},  // 10
    {"Не используйте в теле цикла file_get_contents, лучше так:"_cp,
     "$h=fopen('123.txt', 'r'); <br/>for ($i = 1; $i <= 100; $i++) {$f1 = fgets($h, 4096);}<br/>fclose($h);"_cp},  // 11
    {"Не используйте в теле цикла file_put_contents, лучше так:"_cp,
     "$h=fopen('123.txt', 'w'); <br/>for ($i = 1; $i <= 100; $i++) {fputs ($h, $i);}<br/>fclose($h);"_cp},  // 12
    {"Небезопасная функция создания каталога. Проверьте на право запуска скрипта:"_cp,
     "if(!isadmin()) exit(); // Не путайте со стандартной функцией Drupal"_cp},  // 13
    {"Небезопасная функция удаления файла. Проверьте на право запуска скрипта:"_cp,
     "if(!isadmin()) exit(); // Не путайте со стандартной функцией Drupal"_cp},  // 14
    {"Небезопасная функция смены прав. Проверьте на право запуска скрипта:"_cp,
     "if(!isadmin()) exit(); // Не путайте со стандартной функцией Drupal"_cp},  // 15
    {"Старайтесь проверять все функции на ошибки и выводить уникальное сообщение (можно в лог программы или сообщение пользователю). Такой способ хоть и более трудоёмкий, но позволит чётко локализовать проблемы при бета-тестировании. "_cp,
     "if (!fn()) $error_msg =  \"text\";"_cp},  // 16
    {"При преобразовании кодировки используйте //TRANSLIT:"_cp,
     "$value = iconv('windows-1251', 'UTF-8//TRANSLIT', $value);"_cp},  // 17
    {"Упрощенный вид сканирования директории:"_cp,
     "$getlist = scandir($dir); foreach ($getlist  as $value) {echo $value.'&lt;br/&gt;';}"_cp},  // 18
    {"Упрощайте регулярные выражения, например, так:"_cp,
     "$in = '&lt;title&gt;TEST&lt;/title&gt;';<br/>preg_match_all('/title&gt;(.*?)&lt;/i' , $in, $out, PREG_SET_ORDER);"_cp},  // 19
    {"Очень опасная функция! Может быть атака, допустим, так:"_cp,
     "eval($_GET['hacker']);"_cp},  // 20
    {"Простой способ отправлять сообщения:"_cp,
     {}},  // 21
    {"При работе с формами можно использовать JavaScript:"_cp,
     "alert(document.forms[0][2].value);"_cp},  // 22
    {"Также можно применять JavaScript для передачи данных:"_cp,
     {}},  // 23
    {"Упрощайте getElementById через:"_cp,
     "function gebiv(n,g) { document.getElementById(n).value = g; }<br/>function gebih(n,g) { document.getElementById(n).innerHTML = g; }"_cp},  // 24
    {"Можно использовать специальную отказоустойчивую систему, которая очень хорошо подойдёт для простых сайтов, управляемых из phpMyAdmin. Такая система очень надёжна и позволяет использовать универсальный шаблон:"_cp,
     {}},  // 25
    {"Можно сделать (файл «.htaccess») красивые адреса страниц:"_cp,
     "RewriteEngine On<br>Options +Indexes<br>Options +FollowSymLinks<br>Options +Multiviews<br>"
     "RewriteCond %{REQUEST_FILENAME} !-f<br>RewriteCond %{REQUEST_FILENAME} !-d<br>"
     "RewriteRule ^(.*)$ index.php?id=$1 [L,QSA]"_cp},  // 26
    {"Настройте верную переадресацию (файл «.htaccess») и обработку основных ошибок:"_cp,
     {}},  // 27
    {"Файл «robots.txt» в минимальном виде (без ограничения индексирования системных и служебных файлов сайта) имеет следующий вид:"_cp,
     "User-agent: *<br>Disallow:<br>Host: www.example.com"_cp},  // 28
}};

inline const std::array<ExpectedRule, 40> kCppExpected{{
    {"Все повторяющееся операции при создании и удалении класса лучше помещать в конструктор и деструктор (однако, иногда удобнее использовать наследование) этого класса:"_cp,
     "class code_by_morvash<br/>{<br/>public: <br/>int test = 0;<br/>"
     "code_by_morvash()  {cout << \"\";}<br/>~code_by_morvash()  {cout << \"\";}<br/>}<br/><br/>"
     "class cd: public code_by_morvash<br/>{<br/>public: cd() {cout << \"\";}<br/>}"_cp},  // 1
    {"При работе с файлами используйте:"_cp,
     "ofstream outf(\"result.dat\");<br/>outf.write (str.c_str(),strlen(str.c_str()));<br/>outf.close();"_cp},  // 2
    {"Очень важно использовать в циклах только действительно необходимые функции, так как именно от правильного написания циклов зависит быстродействие большинства программ. Во многих случаях достаточно удобен следующий простой приём использования функции для обработки данных:"_cp,
     "for_each (m.begin(), m.end(), mof);"_cp},  // 3
    {"Старайтесь проверять все функции на ошибки и выводить уникальное сообщение (можно в лог программы или в диалоговом окне пользователю). Такой способ хоть и более трудоёмкий, но позволит чётко локализовать проблемы при бета-тестировании. "_cp,
     "if (!fn()) error_msg =  \"text\";"_cp},  // 4
    {"Если вы хотите добиться максимальной скорости, то не используйте векторы, а пишите обычными массивами и функциями их обработки:"_cp,
     "int a[] = {1,2,3,4};<br/>fn_r(a);"_cp},  // 5
    {"Отражайте суть проблемы в своих сообщениях:"_cp,
     "MessageBox(NULL, \"Невозможно создать файл «1.txt» — нет прав администратора.\", \"Ошибка программы ТЕСТ\", NULL);"_cp},  // 6
    {"После ShowWindow лучше его обновить:"_cp,
     "UpdateWindow(hWnd);"_cp},  // 7
    {"Добавьте в функцию создания окна:"_cp,
     "WS_SYSMENU может заменить WS_OVERLAPPEDWINDOW"_cp},  // 8
    {"Более легко портируемый способ задать цвет фона окна:"_cp,
     "GetSysColorBrush(COLOR_3DFACE); "_cp},  // 9
    {"Пользователи часто привыкают к стандартным юзабилити (посмотрите аналоги своей программы), следовательно, лучше простые интерфейсы, которые позволяют не задумываясь (и без обучения) начать работу с программой."_cp,
     "CreateWindow(..."_cp},  // 10
    {"Не увлекайтесь слишком сильно рисованием на форме:"_cp,
     "case WM_PAINT:"_cp},  // 11
    {"При CreateFont() указывайте кодировку:"_cp,
     "CreateFont(20, 0, 0, 0, FW_MEDIUM, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, \"Verdana\");"_cp},  // 12
    {"В секции WM_DESTROY лучше указывать только:"_cp,
     "PostQuitMessage(0);"_cp},  // 13
    {"Все функции должны возвращать 1 при ошибке: "_cp,
     "return 1;"_cp},  // 14
    {"Ограничивайте количество выбираемых одновременно файлов: "_cp,
     "ofn.nMaxFile = 10;"_cp},  // 15
    {"В фильтрах ясно описывайте тип файлов: "_cp,
     "ofn.lpstrFilter = \"Простой текстовый файл (txt)\\0*.txt\\0\";"_cp},  // 16
    {"В диалоге выбора нескольких файлов полезно показывать размер:"_cp,
     "OFN_ENABLESIZING"_cp},  // 17
    {"Скрывать файлы только для чтения нужно только при явной необходимости:"_cp,
     "OFN_HIDEREADONLY"_cp},  // 18
    {"Из секции case WM_CREATE можно перенести генерацию окон в: "_cp,
     "int WINAPI WinMain "_cp},  // 19
    {"Можно в кистях делать прямое указание цвета:"_cp,
     "HBRUSH hb = CreateSolidBrush(RGB(50, 70, 120));"_cp},  // 20
    {"При Esc (WM_KEYDOWN) проверьте на случайность выхода:"_cp,
     "if (wParam == VK_ESCAPE) { int v = MessageBox(...); if(v == IDOK) { ... } }"_cp},  // 21
    {"При SetWindowText случайно не перезапишите уже указанные пользователем данные:"_cp,
     "SetWindowText(hwnd2, \"\");"_cp},  // 22
    {"Проверьте необходимость в мигании:"_cp,
     "fwi.dwFlags = FLASHW_ALL;"_cp},  // 23
    {"Меню должны быть либо очень простыми, либо привычными пользователю:"_cp,
     "AppendMenu(hMenu, MF_STRING, IDM_FILE_NEW, \"Новый файл\");"_cp},  // 24
    {"Всплывающее меню используйте только в графических и текстовых процессорах:"_cp,
     "TrackPopupMenu"_cp},  // 25
    {"Флаг WS_EX_TOPMOST может быть не удобен пользователю:"_cp,
     "WS_EX_TOPMOST"_cp},  // 26
    {"При выборе цвета используйте флаги:"_cp,
     "cc.Flags = CC_FULLOPEN | CC_RGBINIT;"_cp},  // 27
    {"В хорошем юзабилити текст всегда «ложится» по левому краю:"_cp,
     "CreateWindow(\"STATIC\", ...  SS_LEFT, ..."_cp},  // 28
    {"Кнопки размещайте в правом нижнем углу программы:"_cp,
     "CreateWindow(\"button\", ..."_cp},  // 29
    {"Программа не должна издавать звуковых сигналов:"_cp,
     "Beep(100, 150);"_cp},  // 30
    {"Чекбокс всегда булевый (по логике своей работы), следовательно, не совершайте таких частых ошибок, как двусмысленные формулировки в интерфейсе (тексте рядом с ним)."_cp,
     "BOOL checked = IsDlgButtonChecked(hwnd, 7);"_cp},  // 31
    {"При получении длинны тексты выполните инкрементирование:"_cp,
     "int text_strlen = GetWindowTextLength(hwnd_edit5) + 1;"_cp},  // 32
    {"Если не требуется редактировать выпадающий список, то запретите ввод данных:"_cp,
     "CBS_DROPDOWNLIST"_cp},  // 33
    {"Вы уверены, что нужно удалять вкладку?"_cp,
     "TCM_DELETEITEM"_cp},  // 34
    {"Вместо tolower() используйте:"_cp,
     "transform(str.begin(), str.end(), str.begin(), ::tolower);"_cp},  // 35
    {"Вместо toupper() используйте:"_cp,
     "transform(str.begin(), str.end(), str.begin(), ::toupper);"_cp},  // 36
    {"Вместо printf() используйте:"_cp,
     "cout &lt;&lt; str;"_cp},  // 37
    {"Вместо puts() используйте ofstream:"_cp,
     "file &lt;&lt; str;"_cp},  // 38
    {"Вместо fscanf() используйте ifstream:"_cp,
     "file &gt;&gt; str;"_cp},  // 39
    {"Работайте с потоками для преобразования типов данных:"_cp,
     "std::stringstream root;<br/>root &gt;&gt; f_is_string;<br/>root &lt;&lt; z_is_int;"_cp},  // 40
}};

// clang-format on

}  // namespace orven::testing
