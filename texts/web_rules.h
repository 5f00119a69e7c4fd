// The web rules: advice for PHP and XHTML pages and their JavaScript, in report order. They
// run only when the web gate holds. Rules 6 and 10 share their keywords, rules 13 to 15 their
// example; rules 25 to 28 have no keyword and always fire. "class ", " extends ",
// "simplexml_ load_ string" and "eval (" are kept as written; the keyword test drops blanks.
#pragma once

#include <array>

#include "texts/cp1251.h"
#include "texts/join.h"
#include "texts/rule.h"

namespace orven::texts {

// clang-format off
namespace web_detail {
// The seven character-set lines that web rules 3 and 25 share.
inline constexpr std::string_view kCharsetLines =
     R"(mysql_query ("SET NAMES 'utf8'");<br/>)"
     R"(mysql_query ("SET collation_connection='utf8_general_ci'");<br/>)"
     R"(mysql_query ("SET collation_server='utf8_general_ci'");<br/>)"
     R"(mysql_query ("SET character_set_client='utf8'");<br/>)"
     R"(mysql_query ("SET character_set_connection='utf8'");<br/>)"
     R"(mysql_query ("SET character_set_results='utf8'");<br/>)"
     R"(mysql_query ("SET character_set_server='utf8'");<br/>)"_cp;
inline constexpr std::string_view kRule3Tail =
     "<br/>"
     R"~( $query = sprintf("INSERT INTO `download_site`.`download` (`url`, `cnt`) VALUES ('$url', '%s')", <br/>)~"
     "mysql_real_escape_string($site));<br/>"
     "mysql_query($query);"_cp;
inline constexpr std::string_view kRule3Example = Joined<kCharsetLines, kRule3Tail>::kText;
inline constexpr std::string_view kRule25Head =
     R"(if(!isset($_GET["id"])) $_GET["id"] = "main";<br/>)"
     "<br/>"
     R"($query = sprintf("SELECT `cache` FROM `morvash` WHERE `name` = '%s' LIMIT 1",  <br/>)"
     R"(mysql_real_escape_string($_GET["id"]));<br/>)"
     "<br/>"
     "// Вместо имени локального хоста можно указать сокет: /tmp/45.sock<br/>"
     R"($morvash_cms_db = mysql_connect("localhost", "only_select", "735") or die(mysql_error());<br/>)"_cp;
inline constexpr std::string_view kRule25Tail =
     "<br/>"
     R"(mysql_select_db("t1", $morvash_cms_db);<br/>)"
     "$morvash_cms_data = mysql_query($query);<br/>"
     "$morvash_cms_print = mysql_fetch_array($morvash_cms_data);<br/>"
     "<br/>"
     "mysql_free_result($morvash_cms_data);<br>"
     "mysql_close($morvash_cms_db);<br/>"
     "<br/>"
     "echo $morvash_cms_print[0];"_cp;
inline constexpr std::string_view kRule25Example =
    Joined<kRule25Head, kCharsetLines, kRule25Tail>::kText;
}  // namespace web_detail
// clang-format on

// Example line breaks are the markup "<br/>" ("<br>" in rules 26 and 28 and once in rule 25);
// the three header lines of rule 21 hold a real CR LF.
// clang-format off
inline constexpr std::array<Rule, 28> kWebRules{{
    // web rule 1
    {{"fopen"_cp},
     "Для работы с файлами проще использовать следующие функции:"_cp,
     "$hf_cnt = file_get_contents('1.txt');<br/>"
     "file_put_contents('2.txt', 'data', FILE_APPEND | LOCK_EX);"_cp},
    // web rule 2
    {{"while"_cp, "for("_cp},
     "Очень важно использовать в циклах только действительно необходимые функции, так как "
     "именно от правильного написания циклов зависит быстродействие большинства программ. "
     "Во многих случаях достаточно удобен следующий простой приём использования функции "
     "для обработки данных массива:"_cp,
     "$a = array(1, 2, 3, 4, 5, 6, 7);<br/>"
     "foreach ($a as $b) { your_foo($b);}"_cp},
    // web rule 3
    {{"mysql_query"_cp},
     "В запросах к базе данных установите кодировку и используйте безопасный способ ввода "
     "данных или запроса по шаблону. Это поможет избежать различных атак хакеров на ваш "
     "сайт."_cp,
     web_detail::kRule3Example},
    // web rule 4
    {{"class "_cp},
     "Все повторяющееся операции при создании и удалении класса лучше помещать в "
     "конструктор и деструктор этого класса:"_cp,
     "class morvash_auto<br/>"
     "{<br/>"
     "public $test = '';<br/>"
     "public function __construct() {echo '';}<br/>"
     "public function morvash_auto() {echo '';}<br/>"
     "public function __destruct() {echo '';}<br/>"
     "}"_cp},
    // web rule 5
    {{" extends "_cp},
     "Часто дополнять классы (наследование) более удобно, чем переписывать:"_cp,
     "class morvash_form extends morvash_auto<br/>"
     "{<br/>"
     "public function getform()<br/>"
     "{<br/>"
     "foreach ($_POST as $name => $val) echo '&lt;p&gt;' . $name . ' : ' . $val . '&lt;/p&gt;';<br/>"
     "}<br/>"
     "}"_cp},
    // web rule 6
    {{"$_GET"_cp, "$_POST"_cp, "$_REQUEST"_cp},
     "При передаче данных экранируйте символы:"_cp,
     "htmlspecialchars($_POST['abcde'], ENT_QUOTES);"_cp},
    // web rule 7
    {{"rsort"_cp, "qsort"_cp},
     "Улучшенная сортировка с проверкой на уникальность:"_cp,
     "$array = array_unique($array);<br/>"
     "natsort($array);"_cp},
    // web rule 8
    {{"xml"_cp},
     "Во многих случаях обрабатывать XML проще так:"_cp,
     "simplexml_load_string($str);"_cp},
    // web rule 9
    {{"simplexml_ load_ string"_cp},
     "Для прямой загрузки и обработки XML из файла или сервера:"_cp,
     "simplexml_load_file('1.xml');"_cp},
    // web rule 10
    {{"$_GET"_cp, "$_POST"_cp, "$_REQUEST"_cp},
     "На стадии отладки можно видеть передаваемые переменные:"_cp,
     "var_dump($_REQUEST);"_cp},
    // web rule 11
    {{"file_get_contents"_cp},
     "Не используйте в теле цикла file_get_contents, лучше так:"_cp,
     "$h=fopen('123.txt', 'r'); <br/>"
     "for ($i = 1; $i <= 100; $i++) {$f1 = fgets($h, 4096);}<br/>"
     "fclose($h);"_cp},
    // web rule 12
    {{"file_put_contents"_cp},
     "Не используйте в теле цикла file_put_contents, лучше так:"_cp,
     "$h=fopen('123.txt', 'w'); <br/>"
     "for ($i = 1; $i <= 100; $i++) {fputs ($h, $i);}<br/>"
     "fclose($h);"_cp},
    // web rule 13
    {{"mkdir"_cp},
     "Небезопасная функция создания каталога. Проверьте на право запуска скрипта:"_cp,
     "if(!isadmin()) exit(); // Не путайте со стандартной функцией Drupal"_cp},
    // web rule 14
    {{"unlink"_cp},
     "Небезопасная функция удаления файла. Проверьте на право запуска скрипта:"_cp,
     "if(!isadmin()) exit(); // Не путайте со стандартной функцией Drupal"_cp},
    // web rule 15
    {{"chmod"_cp},
     "Небезопасная функция смены прав. Проверьте на право запуска скрипта:"_cp,
     "if(!isadmin()) exit(); // Не путайте со стандартной функцией Drupal"_cp},
    // web rule 16
    {{"if"_cp},
     "Старайтесь проверять все функции на ошибки и выводить уникальное сообщение (можно в "
     "лог программы или сообщение пользователю). Такой способ хоть и более трудоёмкий, но "
     "позволит чётко локализовать проблемы при бета-тестировании. "_cp,
     R"(if (!fn()) $error_msg =  "text";)"_cp},
    // web rule 17
    {{"iconv"_cp},
     "При преобразовании кодировки используйте //TRANSLIT:"_cp,
     "$value = iconv('windows-1251', 'UTF-8//TRANSLIT', $value);"_cp},
    // web rule 18
    {{"scandir"_cp},
     "Упрощенный вид сканирования директории:"_cp,
     "$getlist = scandir($dir); foreach ($getlist  as $value) {echo $value.'&lt;br/&gt;';}"_cp},
    // web rule 19
    {{"preg_match"_cp},
     "Упрощайте регулярные выражения, например, так:"_cp,
     "$in = '&lt;title&gt;TEST&lt;/title&gt;';<br/>"
     "preg_match_all('/title&gt;(.*?)&lt;/i' , $in, $out, PREG_SET_ORDER);"_cp},
    // web rule 20
    {{"eval("_cp, "eval ("_cp},
     "Очень опасная функция! Может быть атака, допустим, так:"_cp,
     "eval($_GET['hacker']);"_cp},
    // web rule 21
    {{"mail"_cp},
     "Простой способ отправлять сообщения:"_cp,
     R"($headers = 'MIME-Version: 1.0'.")"
     "\r\n"
     R"(";<br/>)"
     R"($headers .= 'Content-type: text/html; charset=UTF-8'.")"
     "\r\n"
     R"(";<br/>)"
     R"($headers .= 'From: =?utf-8?b?' . base64_encode('USER') . '?= &lt;user@example.com&gt;'.")"
     "\r\n"
     R"(";<br/>)"
     "$subject = '=?utf-8?b?' . base64_encode('Сообщение') . '?=';<br/>"
     "$report = htmlspecialchars($_POST['abcd'], ENT_QUOTES);<br/>"
     "if(!mail('admin@example.com', $subject, $report , $headers)) die('error');"_cp},
    // web rule 22
    {{"input"_cp},
     "При работе с формами можно использовать JavaScript:"_cp,
     "alert(document.forms[0][2].value);"_cp},
    // web rule 23
    {{"form"_cp},
     "Также можно применять JavaScript для передачи данных:"_cp,
     "function getdataserver(data)<br/>"
     "{<br/>"
     "var xmlhttp;<br/>"
     R"(if (window.XMLHttpRequest) xmlhttp=new XMLHttpRequest(); else xmlhttp=new ActiveXObject("Microsoft.XMLHTTP");<br/>)"
     "xmlhttp.onreadystatechange=function()<br/>"
     "{<br/>"
     "if (xmlhttp.readyState==4 &amp;&amp; xmlhttp.status==200) alert(xmlhttp.responseText);<br/>"
     "}<br/>"
     R"(xmlhttp.open("POST","http://localhost/getdata.php",true);<br/>)"
     R"(xmlhttp.setRequestHeader("Content-type","application/x-www-form-urlencoded");<br/>)"
     "xmlhttp.send(data);<br/>"
     "}"_cp},
    // web rule 24
    {{"getElementById"_cp},
     "Упрощайте getElementById через:"_cp,
     "function gebiv(n,g) { document.getElementById(n).value = g; }<br/>"
     "function gebih(n,g) { document.getElementById(n).innerHTML = g; }"_cp},
    // web rule 25
    {{},
     "Можно использовать специальную отказоустойчивую систему, которая очень хорошо "
     "подойдёт для простых сайтов, управляемых из phpMyAdmin. Такая система очень надёжна "
     "и позволяет использовать универсальный шаблон:"_cp,
     web_detail::kRule25Example},
    // web rule 26
    {{},
     "Можно сделать (файл «.htaccess») красивые адреса страниц:"_cp,
     "RewriteEngine On<br>"
     "Options +Indexes<br>"
     "Options +FollowSymLinks<br>"
     "Options +Multiviews<br>"
     "RewriteCond %{REQUEST_FILENAME} !-f<br>"
     "RewriteCond %{REQUEST_FILENAME} !-d<br>"
     "RewriteRule ^(.*)$ index.php?id=$1 [L,QSA]"_cp},
    // web rule 27
    {{},
     "Настройте верную переадресацию (файл «.htaccess») и обработку основных ошибок:"_cp,
     "Options +FollowSymLinks<br/>"
     "RewriteEngine On<br/>"
     R"(RewriteCond %{HTTP_HOST} ^example\.com$ [NC]<br/>)"
     "RewriteRule ^(.*)$ http://www.example.com/$1 [R=301,L]<br/>"
     "<br/>"
     "ErrorDocument 404 http://www.example.com/<br/>"
     "ErrorDocument 403 http://www.example.com/<br/>"
     "ErrorDocument 500 http://www.example.com/"_cp},
    // web rule 28
    {{},
     "Файл «robots.txt» в минимальном виде (без ограничения индексирования системных и "
     "служебных файлов сайта) имеет следующий вид:"_cp,
     "User-agent: *<br>"
     "Disallow:<br>"
     "Host: www.example.com"_cp},
}};
// clang-format on

}  // namespace orven::texts
