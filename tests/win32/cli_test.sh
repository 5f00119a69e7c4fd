#!/usr/bin/env bash
# orven-cli.exe under Wine: files whose folder and name are Cyrillic reach the modes intact
# (wide command line, wide paths), a folder of Cyrillic names is walked in the order of its
# UTF-8 paths, the messages reach redirected output as UTF-8, and a file that cannot be read
# is named on stderr with exit status 1.
#
# usage: cli_test.sh EMULATOR... -- ORVEN_CLI_EXE SOURCE_ROOT [ORVEN_EXE]
set -uo pipefail
emulator=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  emulator+=("$1")
  shift
done
shift
cli=$1
source_root=$2
orven=${3:-}
# Wine takes the command line and file names as UTF-8 under this locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
cli() { "${emulator[@]}" "$cli" "$@" >"$work/stdout" 2>"$work/stderr"; }

mkdir -p "$work/Исходники" "$work/ascii" "$work/out" "$work/out-ascii"
cp "$source_root/samples/guestbook.php" "$work/Исходники/гостевая книга.php"
cp "$source_root/samples/guestbook.php" "$work/ascii/guestbook.php"

# "/?" prints the same help as --help; a missing file's message says why.
cd "$work/out-ascii" && cli --help && cp "$work/stdout" "$work/help.txt"
cli /?
[ $? -eq 0 ] && cmp -s "$work/stdout" "$work/help.txt" || fail "/? does not print the help"
grep -q "#root::math::get_ctr A B" "$work/help.txt" || fail "the help lists no expert commands"
cli training "$work/no-such-file.php"
grep -q "Причина: " "$work/stderr" || fail "no cause for a missing file: $(cat "$work/stderr")"

# A temporary left by a process that is gone (ended by TerminateProcess) is removed.
: >"$work/out-ascii/result.html.999999.1.tmp"
cli training "$work/ascii/guestbook.php"
[ ! -e "$work/out-ascii/result.html.999999.1.tmp" ] || fail "a dead run's temporary is left"

# Training: the Cyrillic path gives the same report as the same file under a plain name.
cd "$work/out-ascii" && cli training "$work/ascii/guestbook.php"
[ $? -eq 0 ] || fail "training on a plain path: $(cat "$work/stderr")"
cd "$work/out" && cli training "$work/Исходники/гостевая книга.php"
status=$?
[ $status -eq 0 ] || fail "training on a Cyrillic path: exit $status: $(cat "$work/stderr")"
printf 'Готово! Результат в файле «result.html».\n' | cmp -s - "$work/stdout" ||
  fail "stdout is not the UTF-8 completion message: $(od -c "$work/stdout" | head -5)"
[ ! -s "$work/stderr" ] || fail "unexpected stderr: $(cat "$work/stderr")"
[ -s result.html ] || fail "no result.html"
cmp -s result.html "$work/out-ascii/result.html" ||
  fail "the report differs between the Cyrillic and the plain path"
[ -s readme.txt ] || fail "no readme.txt"

# Training over a folder of Cyrillic names, given with a file after it: the report of all
# their bytes in one file. "Подпапка/" comes before "а.php" (D0 9F before D0 B0 in UTF-8),
# and both before the file given after the folder.
mkdir -p "$work/Проект/Подпапка" "$work/out-folder" "$work/out-joined"
printf '<?php ec' >"$work/Проект/Подпапка/б.php"
printf 'ho 1; ?> #incl' >"$work/Проект/а.php"
printf 'eval($x);' >"$work/Проект/в.txt"
printf 'ude <windows.h>\n' >"$work/ascii/tail.h"
cat "$work/Проект/Подпапка/б.php" "$work/Проект/а.php" "$work/ascii/tail.h" >"$work/ascii/joined.php"
cd "$work/out-joined" && cli training "$work/ascii/joined.php"
[ $? -eq 0 ] || fail "training on the joined file: $(cat "$work/stderr")"
cd "$work/out-folder" && cli training "$work/Проект" "$work/ascii/tail.h"
status=$?
[ $status -eq 0 ] || fail "training on a Cyrillic folder: exit $status: $(cat "$work/stderr")"
[ ! -s "$work/stderr" ] || fail "unexpected stderr: $(cat "$work/stderr")"
cmp -s result.html "$work/out-joined/result.html" ||
  fail "the folder's report differs from the report of its files in one"
grep -q 'C++</h2>' result.html || fail "the keywords across the files were not found"
cd "$work/out"

# Expert: extended precision as on Linux, CR LF on disk.
mkdir -p "$work/Скрипты"
printf '#root::math::get_ctr 7 100\n#root::math::get_ctr 11 5\n' >"$work/Скрипты/скрипт.txt"
cli expert "$work/Скрипты/скрипт.txt"
[ $? -eq 0 ] || fail "expert on a Cyrillic path: $(cat "$work/stderr")"
printf 'Готово! Результат в файле «orven_log.txt».\n' | cmp -s - "$work/stdout" ||
  fail "stdout is not the expert completion message: $(cat "$work/stdout")"
printf '#root::math::get_ctr << 7\r\n#root::math::get_ctr << 220\r\n' | cmp -s - orven_log.txt ||
  fail "orven_log.txt: $(od -c orven_log.txt | head -5)"

# A file that does not exist: named (in UTF-8) on stderr, exit 1, the report untouched.
before=$(md5sum <result.html)
cli training "$work/Исходники/нет такого.php"
status=$?
[ $status -eq 1 ] || fail "a missing file gave exit $status"
grep -q 'нет такого.php' "$work/stderr" || fail "stderr does not name the file: $(cat "$work/stderr")"
[ ! -s "$work/stdout" ] || fail "stdout after a failure: $(cat "$work/stdout")"
[ "$(md5sum <result.html)" = "$before" ] || fail "result.html changed after a failed run"

# Where the outputs go: a user's readme.txt is kept, and links (which Wine shows as the files
# they point to) never lead a write into the user's file; a log that is a folder stops the
# run before it starts.
mkdir -p "$work/links/orven_log.txt"
cd "$work/links" || fail "no folder"
printf '<?php echo 1;' >a.php
ln -s a.php result.html
ln -s a.php readme.txt
cli training a.php
[ "$(cat a.php)" = '<?php echo 1;' ] || fail "a write went through a link into a.php"
printf 'My readme\r\n' >own.txt
rm readme.txt
cp own.txt readme.txt
cli training a.php
cmp -s own.txt readme.txt || fail "the user's readme.txt was rewritten"
grep -q 'readme.txt' "$work/stderr" || fail "no note about the kept readme: $(cat "$work/stderr")"
cli expert a.php
[ $? -eq 1 ] || fail "a log that is a folder did not fail the run"
# --output: "-" is standard output, NUL takes the findings away.
cd "$work/out-ascii" || fail "no folder"
cli training --format gnu "$work/ascii/guestbook.php" && cp "$work/stdout" "$work/gnu.txt"
cli training --format gnu --output - "$work/ascii/guestbook.php"
cmp -s "$work/stdout" "$work/gnu.txt" || fail "--output - is not standard output"
cli training --format gnu --output NUL --error-exitcode 5 "$work/ascii/guestbook.php"
[ $? -eq 5 ] && [ ! -s "$work/stdout" ] && [ ! -e NUL ] || fail "--output NUL wrote something"

# orven.exe --help and --version answer on redirected standard output, with no window.
if [ -n "$orven" ]; then
  timeout 60 "${emulator[@]}" "$orven" --help >"$work/help.out" 2>/dev/null
  [ $? -eq 0 ] && grep -q "Использование: orven" "$work/help.out" ||
    fail "orven.exe --help: $(cat "$work/help.out")"
  timeout 60 "${emulator[@]}" "$orven" --version >"$work/version.out" 2>/dev/null
  grep -q "^ОРВЕН 10.4.1" "$work/version.out" || fail "orven.exe --version: $(cat "$work/version.out")"
fi
echo "orven-cli.exe: wide paths, UTF-8 output, failures and outputs as expected"
