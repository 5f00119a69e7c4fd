// The C++ and Win32 rules, in report order. They run only when the C++ gate holds. "sprintf"
// fires both rule 37 (through "printf") and rule 40; the keyword of rule 17 lacks its leading
// letter O on purpose; "class " is kept as written, the keyword test drops the blank.
#pragma once

#include <array>

#include "texts/cp1251.h"
#include "texts/rule.h"

namespace orven::texts {

// In rule 16 each "\0" is two characters, a backslash and a zero digit. In rule 1 "<<" stands
// raw; elsewhere shift operators are written as entities.
// clang-format off
inline constexpr std::array<Rule, 40> kCppRules{{
    // C++ rule 1
    {{"class "_cp},
     "Все повторяющееся операции при создании и удалении класса лучше помещать в "
     "конструктор и деструктор (однако, иногда удобнее использовать наследование) этого "
     "класса:"_cp,
     "class code_by_morvash<br/>"
     "{<br/>"
     "public: <br/>"
     "int test = 0;<br/>"
     R"(code_by_morvash()  {cout << "";}<br/>)"
     R"(~code_by_morvash()  {cout << "";}<br/>)"
     "}<br/>"
     "<br/>"
     "class cd: public code_by_morvash<br/>"
     "{<br/>"
     R"(public: cd() {cout << "";}<br/>)"
     "}"_cp},
    // C++ rule 2
    {{"fopen"_cp},
     "При работе с файлами используйте:"_cp,
     R"(ofstream outf("result.dat");<br/>)"
     "outf.write (str.c_str(),strlen(str.c_str()));<br/>"
     "outf.close();"_cp},
    // C++ rule 3
    {{"while"_cp, "for"_cp},
     "Очень важно использовать в циклах только действительно необходимые функции, так как "
     "именно от правильного написания циклов зависит быстродействие большинства программ. "
     "Во многих случаях достаточно удобен следующий простой приём использования функции "
     "для обработки данных:"_cp,
     "for_each (m.begin(), m.end(), mof);"_cp},
    // C++ rule 4
    {{"if"_cp},
     "Старайтесь проверять все функции на ошибки и выводить уникальное сообщение (можно в "
     "лог программы или в диалоговом окне пользователю). Такой способ хоть и более "
     "трудоёмкий, но позволит чётко локализовать проблемы при бета-тестировании. "_cp,
     R"(if (!fn()) error_msg =  "text";)"_cp},
    // C++ rule 5
    {{"vector"_cp},
     "Если вы хотите добиться максимальной скорости, то не используйте векторы, а пишите "
     "обычными массивами и функциями их обработки:"_cp,
     "int a[] = {1,2,3,4};<br/>"
     "fn_r(a);"_cp},
    // C++ rule 6
    {{"MessageBox"_cp},
     "Отражайте суть проблемы в своих сообщениях:"_cp,
     R"(MessageBox(NULL, "Невозможно создать файл «1.txt» — нет прав администратора.", "Ошибка программы ТЕСТ", NULL);)"_cp},
    // C++ rule 7
    {{"ShowWindow"_cp},
     "После ShowWindow лучше его обновить:"_cp,
     "UpdateWindow(hWnd);"_cp},
    // C++ rule 8
    {{"WS_OVERLAPPEDWINDOW"_cp},
     "Добавьте в функцию создания окна:"_cp,
     "WS_SYSMENU может заменить WS_OVERLAPPEDWINDOW"_cp},
    // C++ rule 9
    {{"hbrBackground"_cp},
     "Более легко портируемый способ задать цвет фона окна:"_cp,
     "GetSysColorBrush(COLOR_3DFACE); "_cp},
    // C++ rule 10
    {{"CreateWindow"_cp},
     "Пользователи часто привыкают к стандартным юзабилити (посмотрите аналоги своей "
     "программы), следовательно, лучше простые интерфейсы, которые позволяют не "
     "задумываясь (и без обучения) начать работу с программой."_cp,
     "CreateWindow(..."_cp},
    // C++ rule 11
    {{"WM_PAINT"_cp},
     "Не увлекайтесь слишком сильно рисованием на форме:"_cp,
     "case WM_PAINT:"_cp},
    // C++ rule 12
    {{"CreateFont"_cp},
     "При CreateFont() указывайте кодировку:"_cp,
     R"(CreateFont(20, 0, 0, 0, FW_MEDIUM, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Verdana");)"_cp},
    // C++ rule 13
    {{"WM_DESTROY"_cp},
     "В секции WM_DESTROY лучше указывать только:"_cp,
     "PostQuitMessage(0);"_cp},
    // C++ rule 14
    {{"return"_cp},
     "Все функции должны возвращать 1 при ошибке: "_cp,
     "return 1;"_cp},
    // C++ rule 15
    {{"GetOpenFileName"_cp},
     "Ограничивайте количество выбираемых одновременно файлов: "_cp,
     "ofn.nMaxFile = 10;"_cp},
    // C++ rule 16
    {{"lpstrFilter"_cp},
     "В фильтрах ясно описывайте тип файлов: "_cp,
     R"(ofn.lpstrFilter = "Простой текстовый файл (txt)\0*.txt\0";)"_cp},
    // C++ rule 17
    {{"FN_ALLOWMULTISELECT"_cp},
     "В диалоге выбора нескольких файлов полезно показывать размер:"_cp,
     "OFN_ENABLESIZING"_cp},
    // C++ rule 18
    {{"OFN_HIDEREADONLY"_cp},
     "Скрывать файлы только для чтения нужно только при явной необходимости:"_cp,
     "OFN_HIDEREADONLY"_cp},
    // C++ rule 19
    {{"WM_CREATE"_cp},
     "Из секции case WM_CREATE можно перенести генерацию окон в: "_cp,
     "int WINAPI WinMain "_cp},
    // C++ rule 20
    {{"CreateSolidBrush"_cp},
     "Можно в кистях делать прямое указание цвета:"_cp,
     "HBRUSH hb = CreateSolidBrush(RGB(50, 70, 120));"_cp},
    // C++ rule 21
    {{"WM_KEYDOWN"_cp},
     "При Esc (WM_KEYDOWN) проверьте на случайность выхода:"_cp,
     "if (wParam == VK_ESCAPE) { int v = MessageBox(...); if(v == IDOK) { ... } }"_cp},
    // C++ rule 22
    {{"SetWindowText"_cp},
     "При SetWindowText случайно не перезапишите уже указанные пользователем данные:"_cp,
     R"(SetWindowText(hwnd2, "");)"_cp},
    // C++ rule 23
    {{"FLASHW_ALL"_cp},
     "Проверьте необходимость в мигании:"_cp,
     "fwi.dwFlags = FLASHW_ALL;"_cp},
    // C++ rule 24
    {{"AppendMenu"_cp},
     "Меню должны быть либо очень простыми, либо привычными пользователю:"_cp,
     R"(AppendMenu(hMenu, MF_STRING, IDM_FILE_NEW, "Новый файл");)"_cp},
    // C++ rule 25
    {{"TrackPopupMenu"_cp},
     "Всплывающее меню используйте только в графических и текстовых процессорах:"_cp,
     "TrackPopupMenu"_cp},
    // C++ rule 26
    {{"WS_EX_TOPMOST"_cp},
     "Флаг WS_EX_TOPMOST может быть не удобен пользователю:"_cp,
     "WS_EX_TOPMOST"_cp},
    // C++ rule 27
    {{"ShowColorDialog"_cp},
     "При выборе цвета используйте флаги:"_cp,
     "cc.Flags = CC_FULLOPEN | CC_RGBINIT;"_cp},
    // C++ rule 28
    {{"SS_"_cp},
     "В хорошем юзабилити текст всегда «ложится» по левому краю:"_cp,
     R"(CreateWindow("STATIC", ...  SS_LEFT, ...)"_cp},
    // C++ rule 29
    {{"LOWORD(wParam)"_cp},
     "Кнопки размещайте в правом нижнем углу программы:"_cp,
     R"(CreateWindow("button", ...)"_cp},
    // C++ rule 30
    {{"Beep"_cp},
     "Программа не должна издавать звуковых сигналов:"_cp,
     "Beep(100, 150);"_cp},
    // C++ rule 31
    {{"BS_CHECKBOX"_cp},
     "Чекбокс всегда булевый (по логике своей работы), следовательно, не совершайте таких "
     "частых ошибок, как двусмысленные формулировки в интерфейсе (тексте рядом с ним)."_cp,
     "BOOL checked = IsDlgButtonChecked(hwnd, 7);"_cp},
    // C++ rule 32
    {{"GetWindowTextLength"_cp},
     "При получении длинны тексты выполните инкрементирование:"_cp,
     "int text_strlen = GetWindowTextLength(hwnd_edit5) + 1;"_cp},
    // C++ rule 33
    {{"CB_SHOWDROPDOWN"_cp},
     "Если не требуется редактировать выпадающий список, то запретите ввод данных:"_cp,
     "CBS_DROPDOWNLIST"_cp},
    // C++ rule 34
    {{"TCM_DELETEITEM"_cp},
     "Вы уверены, что нужно удалять вкладку?"_cp,
     "TCM_DELETEITEM"_cp},
    // C++ rule 35
    {{"tolower"_cp},
     "Вместо tolower() используйте:"_cp,
     "transform(str.begin(), str.end(), str.begin(), ::tolower);"_cp},
    // C++ rule 36
    {{"toupper"_cp},
     "Вместо toupper() используйте:"_cp,
     "transform(str.begin(), str.end(), str.begin(), ::toupper);"_cp},
    // C++ rule 37
    {{"printf"_cp},
     "Вместо printf() используйте:"_cp,
     "cout &lt;&lt; str;"_cp},
    // C++ rule 38
    {{"puts"_cp},
     "Вместо puts() используйте ofstream:"_cp,
     "file &lt;&lt; str;"_cp},
    // C++ rule 39
    {{"fscanf"_cp},
     "Вместо fscanf() используйте ifstream:"_cp,
     "file &gt;&gt; str;"_cp},
    // C++ rule 40
    {{"itoa"_cp, "atoi"_cp, "sprintf"_cp},
     "Работайте с потоками для преобразования типов данных:"_cp,
     "std::stringstream root;<br/>"
     "root &gt;&gt; f_is_string;<br/>"
     "root &lt;&lt; z_is_int;"_cp},
}};
// clang-format on

}  // namespace orven::texts
