#!/usr/bin/env bash
# The contract of orven-cli: exit status, what goes to stdout and stderr, which files appear
# in the current folder, and that nothing is opened without --open (a stub xdg-open first in
# PATH records every request).
#
# usage: run.sh ORVEN_CLI SOURCE_ROOT [ORVEN]
set -uo pipefail
cli=$(realpath "$1")
source_root=$(realpath "$2")
orven=${3:+$(realpath "$3")}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}

mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$*" >>"$work/open.log"
STUB
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
: >"$work/open.log"

# Runs orven-cli in a fresh folder $work/$1 with the remaining arguments; leaves the exit
# status in $status and the two streams in $work/$1.out and $work/$1.err.
run_in() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  (cd "$work/$name" && "$cli" "$@" >"$work/$name.out" 2>"$work/$name.err")
  status=$?
}
out_is() { [ "$(cat "$work/$1.out")" = "$2" ] && [ "$(tail -c1 "$work/$1.out" | od -An -c | tr -d ' ')" = '\n' ]; }
empty() { [ ! -s "$1" ]; }
contains() { grep -qF -- "$2" "$1"; }
lacks_escape_byte() { ! grep -q $'\e' "$1"; }
files_are() { [ "$(cd "$work/$1" && ls -A | tr '\n' ' ')" = "$2" ]; }
ends_with() { [ "$(tail -c ${#2} "$1")" = "$2" ]; }
nothing_opened() { sleep 0.3; empty "$work/open.log"; }  # the opener runs detached

src="$work/guestbook.php"
cp "$source_root/samples/guestbook.php" "$src"
script="$work/script.txt"
printf '#root::math::get_ctr 100 10\n' >"$script"

# Training: the completion message on stdout, result.html and readme.txt in the folder.
run_in training training "$src"
check "training exits 0" [ $status -eq 0 ]
check "training prints the completion message" out_is training "Готово! Результат в файле «result.html»."
check "training says nothing on stderr" empty "$work/training.err"
check "training writes result.html and readme.txt" files_are training "readme.txt result.html "
check "the report ends the document" ends_with "$work/training/result.html" "</div></body></html>"
check "the readme starts with two CR LF" [ "$(head -c4 "$work/training/readme.txt" | od -An -tx1 | tr -d ' ')" = 0d0a0d0a ]
check "training opens nothing without --open" nothing_opened

# Expert: one log line per command; the log only grows.
run_in expert expert "$script"
check "expert exits 0" [ $status -eq 0 ]
check "expert prints the completion message" out_is expert "Готово! Результат в файле «orven_log.txt»."
check "expert says nothing on stderr" empty "$work/expert.err"
check "expert writes orven_log.txt and readme.txt" files_are expert "orven_log.txt readme.txt "
check "the log holds the command's line" [ "$(cat "$work/expert/orven_log.txt")" = $'#root::math::get_ctr << 1000\r' ]
(cd "$work/expert" && "$cli" expert "$script" >/dev/null 2>&1)
check "a second run appends" [ "$(cat "$work/expert/orven_log.txt")" = $'#root::math::get_ctr << 1000\r\n#root::math::get_ctr << 1000\r' ]
check "expert opens nothing without --open" nothing_opened

# --open hands the output, by its absolute path, to the desktop's opener.
run_in open-training --open training "$src"
check "--open training exits 0" [ $status -eq 0 ]
opened() { grep -qxF "$1" "$work/open.log"; }
wait_opened() {
  local i
  for i in $(seq 50); do opened "$1" && return 0; sleep 0.1; done
  return 1
}
check "--open opens result.html" wait_opened "$work/open-training/result.html"
: >"$work/open.log"
run_in open-expert expert "$script" --open
check "--open after the file opens orven_log.txt" wait_opened "$work/open-expert/orven_log.txt"
: >"$work/open.log"

# Failures: exit 1, an error naming the file on stderr, nothing on stdout, nothing opened,
# no output touched; the readme is still written.
run_in missing --open training "$work/нет такого файла.php"
check "a missing source exits 1" [ $status -eq 1 ]
check "the error names the source" contains "$work/missing.err" "$work/нет такого файла.php"
check "a failure prints nothing on stdout" empty "$work/missing.out"
check "a missing source leaves no report" files_are missing "readme.txt "
check "a failure opens nothing" nothing_opened

run_in missing-script expert "$work/missing.txt"
check "a missing script exits 1" [ $status -eq 1 ]
check "the error names the script" contains "$work/missing-script.err" "$work/missing.txt"
check "a missing script creates no log" files_are missing-script "readme.txt "

run_in device-source training /dev/null
check "a device as the source exits 1" [ $status -eq 1 ]

mkdir -p "$work/report-folder/result.html"
run_in report-folder --open training "$src"
check "an unwritable report exits 1" [ $status -eq 1 ]
check "the error names result.html by its full path" contains "$work/report-folder.err" "«$work/report-folder/result.html»"
check "an unwritable report is not reported done" empty "$work/report-folder.out"
check "an unwritable report opens nothing" nothing_opened

mkdir -p "$work/log-folder/orven_log.txt"
run_in log-folder expert "$script"
check "an unwritable log exits 1" [ $status -eq 1 ]
check "the error names the log by its full path" contains "$work/log-folder.err" "«$work/log-folder/orven_log.txt»"

# Usage errors: exit 2, the usage on stderr, nothing on stdout, nothing written.
for args in "" "training" "teaching $src" "expert $script extra" "--bogus training $src" "expert" \
  "training $src --exclude"; do
  # shellcheck disable=SC2086
  run_in usage $args
  check "'$args' exits 2" [ $status -eq 2 ]
  check "'$args' shows the usage on stderr" contains "$work/usage.err" "orven-cli [ПАРАМЕТРЫ] training ПУТЬ..."
  check "'$args' prints nothing on stdout" empty "$work/usage.out"
  check "'$args' writes nothing" files_are usage ""
done
# lsp after an option is the language server's usage, not an unknown mode.
for args in "--no-ignore lsp" "--open lsp" "--format=json lsp"; do
  # shellcheck disable=SC2086
  run_in usage $args
  check "'$args' exits 2" [ $status -eq 2 ]
  check "'$args' shows how the server starts" contains "$work/usage.err" "orven-cli lsp [--stdio]"
  check "'$args' prints nothing on stdout" empty "$work/usage.out"
done

# A name with control bytes is named escaped: it cannot steer the terminal.
run_in escaped training $'x\e[31mRED'
check "a missing name with control bytes exits 1" [ $status -eq 1 ]
check "it is named escaped" contains "$work/escaped.err" 'x\x1B[31mRED'
check "no escape byte reaches the terminal" lacks_escape_byte "$work/escaped.err"

# Training over several files and folders: the report of all their bytes in one file, in
# the order given and, in a folder, in byte order of the paths, hidden names and other
# endings left out; a file in a folder that cannot be read is one line on stderr, and the
# run goes on; a given file that cannot be read fails the run.
project="$work/project"
mkdir -p "$project/src/lib" "$project/.git"
printf '<?php ec' >"$project/src/a.php"
printf 'ho 1; ?>\n#incl' >"$project/src/b.php"
printf 'ude <windows.h>\n' >"$project/src/lib/c.h"
printf 'eval($x);' >"$project/.git/d.php"
printf 'eval($x);' >"$project/src/e.txt"
printf 'eval($x);' >"$project/src/CMakeLists.txt"
ln -s missing.php "$project/src/broken.php"
cat "$project/src/a.php" "$project/src/b.php" "$project/src/lib/c.h" "$src" >"$work/joined.php"
run_in joined training "$work/joined.php"
run_in several training "$project" "$src"
check "several inputs exit 0" [ $status -eq 0 ]
check "their report is the one of their bytes in one file" \
  cmp -s "$work/several/result.html" "$work/joined/result.html"
check "the skipped file is one line on stderr" [ "$(wc -l <"$work/several.err")" -eq 1 ]
check "which names it after the prefix" \
  grep -qE "^orven-cli: .*«$project/src/broken.php»" "$work/several.err"
check "several inputs print the completion message" out_is several "Готово! Результат в файле «result.html»."

run_in several-missing training "$project" "$work/нет такого файла.php" "$src"
check "a given file that cannot be read fails the run" [ $status -eq 1 ]
check "the error names it" contains "$work/several-missing.err" "$work/нет такого файла.php"
check "and no report is written" files_are several-missing "readme.txt "

# --exclude leaves out what it names, below each folder given; a .ignore file does the same
# unless --no-ignore is given.
cat "$project/src/a.php" "$project/src/b.php" "$src" >"$work/joined-no-lib.php"
run_in joined-no-lib training "$work/joined-no-lib.php"
run_in exclude training --exclude lib/ --exclude=missing.php "$project" "$src"
check "--exclude leaves out the folder it names" \
  cmp -s "$work/exclude/result.html" "$work/joined-no-lib/result.html"
printf 'lib/\n' >"$project/src/.ignore"
run_in ignore-file training "$project" "$src"
check "a .ignore file leaves it out too" \
  cmp -s "$work/ignore-file/result.html" "$work/joined-no-lib/result.html"
run_in no-ignore training --no-ignore "$project" "$src"
check "--no-ignore takes it again" cmp -s "$work/no-ignore/result.html" "$work/joined/result.html"
rm "$project/src/.ignore"

# Folders without a single source file: exit 1, one message naming them, no report.
mkdir -p "$work/no-sources/notes" "$work/empty"
printf '<?php eval($x);' >"$work/no-sources/notes/a.txt"
run_in no-sources training "$work/no-sources/notes" "$work/empty"
check "folders without sources exit 1" [ $status -eq 1 ]
check "with one line on stderr" [ "$(wc -l <"$work/no-sources.err")" -eq 1 ]
check "naming both folders" contains "$work/no-sources.err" "«$work/no-sources/notes», «$work/empty»"
check "and no report is written" files_are no-sources "notes readme.txt "

# The report and readme that a run writes into the current folder are not read back by the
# next run over that folder, so that it gives the same report.
mkdir -p "$work/here"
cp "$src" "$work/here/page.php"
(cd "$work/here" && "$cli" training . >/dev/null 2>&1 && cp result.html ../first.html &&
  "$cli" training . >/dev/null 2>&1)
check "a second run over the current folder gives the same report" \
  cmp -s "$work/here/result.html" "$work/first.html"

# Leftovers of runs that were killed (SIGKILL leaves a named temporary) are removed by the
# next run once their process is gone; a running process's temporary is left alone.
mkdir -p "$work/stale"
dead=4194303
while kill -0 $dead 2>/dev/null; do dead=$((dead - 1)); done
: >"$work/stale/result.html.$dead.1234.tmp"
: >"$work/stale/readme.txt.$dead.99.tmp"
: >"$work/stale/result.html.$$.5678.tmp"
: >"$work/stale/result.html.notapid.tmp"
run_in stale training "$src"
check "temporaries of dead runs are removed, others kept" files_are stale \
  "readme.txt result.html result.html.$$.5678.tmp result.html.notapid.tmp "

# An empty readme.txt (a run killed or out of room in an older version) counts as missing.
mkdir -p "$work/empty-readme"
: >"$work/empty-readme/readme.txt"
run_in empty-readme training "$src"
check "an empty readme.txt is rewritten without a note" empty "$work/empty-readme.err"
check "an empty readme.txt gets the text" cmp -s "$work/empty-readme/readme.txt" "$work/training/readme.txt"

# Runs that start together in a fresh folder never take one another's readme for a user's.
for round in 1 2 3 4 5 6 7 8 9 10; do
  mkdir -p "$work/together$round"
  for i in 1 2 3 4 5 6; do
    (cd "$work/together$round" && "$cli" training "$src" >/dev/null 2>>"$work/together.err") &
  done
  wait
done
check "runs started together print no note on the readme" empty "$work/together.err"

# Machine formats: the findings on stdout (or in --output FILE), UTF-8; neither result.html
# nor readme.txt; the exit status as for the report.
printf '<?php\n  fopen($f);\r\n' >"$work/page.php"
run_in gnu training --format gnu "$work/page.php"
check "--format gnu exits 0" [ $status -eq 0 ]
check "--format gnu writes no file" files_are gnu ""
check "--format gnu says nothing on stderr" empty "$work/gnu.err"
check "a finding with a place is FILE:LINE:COLUMN: note: ADVICE [ID]" \
  contains "$work/gnu.out" "$work/page.php:2:3: note: Для работы с файлами проще использовать следующие функции: [W01]"
check "a finding without a place names the program" grep -qE '^orven-cli: note: .* \[W28\]$' "$work/gnu.out"
check "every line is a finding" [ "$(grep -cvE '^(.*:[0-9]+:[0-9]+|orven-cli): note: .* \[[WC][0-9]{2}\]$' "$work/gnu.out")" -eq 0 ]
run_in json training --format=json --output out.json "$work/page.php"
check "--format=json --output exits 0" [ $status -eq 0 ]
check "--output takes the findings, stdout stays empty" empty "$work/json.out"
check "--output writes only that file" files_are json "out.json "
check "the JSON names the keyword" contains "$work/json/out.json" '"keyword": "fopen"'
run_in sarif training --format sarif "$work/page.php"
check "--format sarif exits 0" [ $status -eq 0 ]
check "--format sarif writes no file" files_are sarif ""
check "the SARIF log is version 2.1.0" contains "$work/sarif.out" '"version": "2.1.0"'
run_in html-output training --output report.html "$work/page.php"
check "--output names the report" out_is html-output "Готово! Результат в файле «report.html»."
check "--output writes the report there, and readme.txt" files_are html-output "readme.txt report.html "
check "that report is the one result.html would be" cmp -s "$work/html-output/report.html" <(cd "$work/training" && "$cli" training "$work/page.php" >/dev/null && cat result.html)
run_in json-missing training --format json "$work/missing.php"
check "--format json on a missing source exits 1" [ $status -eq 1 ]
check "and writes nothing on stdout" empty "$work/json-missing.out"
check "and names the source" contains "$work/json-missing.err" "$work/missing.php"
run_in bad-format training --format xml "$src"
check "an unknown format is a usage error" [ $status -eq 2 ]
run_in format-no-value training "$src" --format
check "--format without a value is a usage error" [ $status -eq 2 ]
run_in expert-format expert "$script" --format json
check "--format in expert mode is a usage error" [ $status -eq 2 ]

# --help and --version.
run_in help --help
check "--help exits 0" [ $status -eq 0 ]
check "--help names both modes" contains "$work/help.out" "orven-cli expert"
check "--help says nothing on stderr" empty "$work/help.err"
run_in version --version
check "--version exits 0" [ $status -eq 0 ]
check "--version prints the version" out_is version "ОРВЕН 10.4.1"

# An --output that is an input (named, met in a folder, through a link, by another name of
# the same file) is refused before anything is written: exit 2, one message naming both,
# the input untouched. The output is never written in place or through a link: a hard link
# to it keeps the old bytes, a link named as the output is refused and its target kept.
mkdir -p "$work/clash/proj/sub"
printf '<?php mail($a);\n' >"$work/clash/keep.php"
printf '<?php eval($a);\n' >"$work/clash/proj/sub/a.php"
ln -s sub/a.php "$work/clash/proj/link.php"
for args in "--format json --output keep.php keep.php" "--output keep.php ./keep.php" \
  "--format gnu --output proj/sub/a.php proj" "--output ./proj/../proj/sub/a.php proj/sub/" \
  "--format sarif --output proj/link.php proj/sub" "--output proj/link.php proj"; do
  before=$(cat "$work/clash/keep.php" "$work/clash/proj/sub/a.php")
  # shellcheck disable=SC2086
  (cd "$work/clash" && "$cli" training $args >"$work/clash.out" 2>"$work/clash.err")
  status=$?
  check "'$args' is refused with exit 2 (got $status)" [ $status -eq 2 ]
  check "'$args' says so in one line" [ "$(wc -l <"$work/clash.err")" -eq 1 ]
  check "'$args' names the output and the input" grep -qE '^orven-cli: .*--output «[^»]+» — это и входной файл «[^»]+»' "$work/clash.err"
  check "'$args' leaves the inputs as they were" [ "$(cat "$work/clash/keep.php" "$work/clash/proj/sub/a.php")" = "$before" ]
  check "'$args' writes no report" [ ! -e "$work/clash/result.html" ]
done
mkdir -p "$work/replace"
printf 'old findings\n' >"$work/replace/out.json"
ln "$work/replace/out.json" "$work/replace/hard-link.json"
(cd "$work/replace" && "$cli" training --format json --output out.json "$work/page.php" >/dev/null 2>&1)
check "--output is replaced whole, not written in place" [ "$(cat "$work/replace/hard-link.json")" = "old findings" ]
check "--output holds the findings" grep -q '"keyword"' "$work/replace/out.json"
printf 'a file of mine\n' >"$work/replace/target.txt"
ln -s target.txt "$work/replace/linked.json"
(cd "$work/replace" && "$cli" training --format json --output linked.json "$work/page.php" >/dev/null 2>&1)
status=$?
check "--output that is a link fails (exit $status)" [ $status -eq 1 ]
check "and is never written through" [ "$(cat "$work/replace/target.txt")" = "a file of mine" ]
# A report written into the walked folder under any name is not read back by the next run,
# nor are findings written there as JSON or SARIF under a source's name.
mkdir -p "$work/again/src"
cp "$work/page.php" "$work/again/src/page.php"
for round in 1 2 3; do
  (cd "$work/again" && "$cli" training --output src/report.html src >/dev/null 2>&1 &&
    "$cli" training --output src/old-report.php src >/dev/null 2>&1 &&
    "$cli" training --format json --output src/findings.js src >/dev/null 2>&1 &&
    "$cli" training --format sarif --output src/log.html src >/dev/null 2>&1 &&
    "$cli" training --format json --output "../again$round.json" src >/dev/null 2>&1)
done
check "reports written into the walked folder are not read back" \
  eval 'cmp -s "$work/again1.json" "$work/again3.json" && cmp -s "$work/again2.json" "$work/again3.json"'

# A folder given that the ignore rules leave out gives nothing: exit 1, and the message names
# the rule's file, line and pattern, and what takes the files all the same.
mkdir -p "$work/ignored/repo/build" "$work/ignored/repo/vendor"
git init -q "$work/ignored/repo" 2>/dev/null || mkdir -p "$work/ignored/repo/.git"
printf 'build/\nvendor/*\n' >"$work/ignored/repo/.gitignore"
cp "$work/page.php" "$work/ignored/repo/build/page.php"
cp "$work/page.php" "$work/ignored/repo/vendor/page.php"
run_in ignored training repo/build --format gnu
run_in ignored training --format gnu "$work/ignored/repo/build"
check "a folder its parent's rules leave out gives nothing: exit 1" [ $status -eq 1 ]
check "the message names the rule, its line and file, and --no-ignore" contains "$work/ignored.err" \
  "Файлы из «$work/ignored/repo/build» исключены правилом «build/» (строка 1 файла «$work/ignored/repo/.gitignore»). Взять их: --no-ignore."
run_in ignored training --format gnu "$work/ignored/repo/vendor"
check "so does one whose every file the rules leave out" contains "$work/ignored.err" "правилом «vendor/*» (строка 2 файла"
run_in ignored training --no-ignore --format gnu "$work/ignored/repo/build"
check "--no-ignore takes it" [ $status -eq 0 ]

# "--" ends the options, for a file whose name starts with "-".
cp "$src" "$work/-page.php"
(cd "$work" && "$cli" training -- -page.php >/dev/null 2>&1)
check "-- lets a file named -page.php through" [ $? -eq 0 ]

# --error-exitcode N: N when a finding with a keyword is left (in every format), 0 otherwise;
# the general advice W25-W28 that any PHP page gets does not count.
printf '<?php echo 1;\n' >"$work/general.php"
for format in gnu json sarif html; do
  run_in gate-$format training --format $format --error-exitcode 7 "$work/page.php"
  check "--error-exitcode with a finding, $format: its status" [ $status -eq 7 ]
  run_in calm-$format training --format $format --error-exitcode 7 "$work/general.php"
  check "--error-exitcode without one (W25-W28 only), $format: 0" [ $status -eq 0 ]
done
check "with html the report is still written" files_are gate-html "readme.txt result.html "
check "the SARIF log says the status it ends with" contains "$work/gate-sarif.out" '"exitCode": 7'
for bad in 0 1 2 126 -3 x 1e1 ""; do
  run_in bad-exit training --format gnu --error-exitcode="$bad" "$work/page.php"
  check "--error-exitcode=$bad is a usage error" [ $status -eq 2 ]
done

# --select and --disable (ids, ranges, sections) keep some findings of the machine formats;
# with the report they are usage errors, as are ids that are no rule.
run_in select training --format gnu --select W01,W25-W26 "$work/page.php"
check "--select keeps the findings of its rules" \
  [ "$(grep -oE '\[[WC][0-9]+\]$' "$work/select.out" | tr '\n' ' ')" = "[W01] [W25] [W26] " ]
run_in disable training --format gnu --disable web --error-exitcode 5 "$work/page.php"
check "--disable web leaves nothing of a web page" empty "$work/disable.out"
check "and nothing to count" [ $status -eq 0 ]
for args in "--select W29" "--select C10-C01" "--disable W27-C01" "--select" "--select ,"; do
  # shellcheck disable=SC2086
  run_in bad-select training --format gnu $args "$work/page.php"
  check "'$args' is a usage error" [ $status -eq 2 ]
done
for args in "--select W01" "--disable web" "--baseline x.json" "--match code" "--output -" \
  "--format html --output /dev/null"; do
  # shellcheck disable=SC2086
  run_in html-only training $args "$work/page.php"
  check "'$args' with the report is a usage error" [ $status -eq 2 ]
  check "'$args' with the report writes nothing" files_are html-only ""
done

# Options: a single value given twice, a value that is an option, a mode's misfits.
for args in "--format json --format gnu" "--output a --output b" "--format=gnu --format=gnu" \
  "--format --open" "--color sometimes" "--match words" "--stdin-filename a.php" \
  "--output --no-ignore"; do
  # shellcheck disable=SC2086
  run_in options training $args "$work/page.php"
  check "'$args' is a usage error" [ $status -eq 2 ]
  check "'$args' writes nothing" files_are options ""
done
check "the message names the option that would take an option" \
  contains "$work/options.err" "«--output» нет значения: следом идёт параметр «--no-ignore»"
for args in "--format html" "--select W01" "--color never" "--exclude x"; do
  # shellcheck disable=SC2086
  run_in expert-options expert "$script" $args
  check "expert mode refuses '$args'" [ $status -eq 2 ]
done
run_in help-options --help
grep -oE -- '--[a-z][a-z-]+' "$work/help-options.out" | sort -u >"$work/help-options.list"
check "the help names the options" [ "$(wc -l <"$work/help-options.list")" -eq 16 ]
run_in usage-options training
sed 's/\\-/-/g' "$source_root/packaging/orven-cli.1.in" >"$work/manual.txt"
while read -r option; do
  check "the usage names $option" contains "$work/usage-options.err" "$option"
  check "the manual page names $option" contains "$work/manual.txt" "$option"
done <"$work/help-options.list"

# --output: "-" and /dev/stdout are standard output, /dev/null takes the findings away; a
# pipe, a device, a link and a folder are refused before anything runs, with their cause.
run_in output-dash training --format gnu --output - "$work/page.php"
check "--output - writes to stdout" cmp -s "$work/output-dash.out" "$work/gnu.out"
run_in output-stdout training --format gnu --output=/dev/stdout "$work/page.php"
check "--output /dev/stdout writes to stdout" cmp -s "$work/output-stdout.out" "$work/gnu.out"
run_in output-null training --format gnu --output /dev/null --error-exitcode 4 "$work/page.php"
check "--output /dev/null keeps the status" [ $status -eq 4 ]
check "and writes nothing" empty "$work/output-null.out"
mkdir -p "$work/refused/folder"
mkfifo "$work/refused/fifo"
ln -s "$work/refused/target.json" "$work/refused/link"
for target in fifo:"это именованный канал (FIFO)" /dev/zero:"это устройство" \
  link:"это символическая ссылка" folder:"это папка"; do
  name=${target%%:*}
  case $name in /*) ;; *) name="$work/refused/$name" ;; esac
  run_in refused training --format json --output "$name" "$work/page.php"
  check "--output $name fails" [ $status -eq 1 ]
  check "--output $name says why" contains "$work/refused.err" "Причина: ${target#*:}."
done
check "nothing was written through the link" [ ! -e "$work/refused/target.json" ]
run_in refused-html training --output "$work/refused/fifo" "$work/page.php"
check "the report is not written to a pipe either" [ $status -eq 1 ]
check "and says why" contains "$work/refused-html.err" "Причина: это именованный канал (FIFO)."

# A machine-format run that opens neither section says which keywords would.
printf 'just text\n' >"$work/plain.txt"
run_in no-section training --format json "$work/plain.txt"
check "a run without sections exits 0" [ $status -eq 0 ]
check "and notes the markers on stderr" contains "$work/no-section.err" "«<?php» или «</body»"
check "in one line" [ "$(wc -l <"$work/no-section.err")" -eq 1 ]
run_in section training --format json "$work/page.php"
check "a run with a section notes nothing" empty "$work/section.err"

# --list-rules and --explain: the rules without a run.
run_in list-rules --list-rules
check "--list-rules lists 68 rules" [ "$(wc -l <"$work/list-rules.out")" -eq 68 ]
check "with id, section, keywords and advice" \
  grep -q $'^W01\tweb\tfopen\tДля работы с файлами' "$work/list-rules.out"
run_in list-cpp --list-rules --select cpp --disable C40
check "--list-rules --select cpp --disable C40 lists 39" [ "$(wc -l <"$work/list-cpp.out")" -eq 39 ]
run_in explain --explain c06
check "--explain prints the advice" contains "$work/explain.out" "Отражайте суть проблемы в своих сообщениях:"
check "and the example" contains "$work/explain.out" '    MessageBox(NULL, "Невозможно создать файл'
for args in "--explain W29" "--explain W01 training x" "--list-rules --format gnu" \
  "--list-rules --output x" "--explain W01 --list-rules"; do
  # shellcheck disable=SC2086
  run_in bad-rules $args
  check "'$args' is a usage error" [ $status -eq 2 ]
done

# Colour as GCC's: asked for, or on a terminal unless NO_COLOR or TERM=dumb.
run_in color-always training --format gnu --color always "$work/page.php"
check "--color always colours the gnu lines" grep -q $'^\e\\[01m\e\\[K' "$work/color-always.out"
run_in color-pipe training --format gnu "$work/page.php"
check "a pipe gets no colour" lacks_escape_byte "$work/color-pipe.out"
on_terminal() {  # on_terminal OUTPUT ENV... : the gnu lines of page.php written to a terminal
  local out=$1
  shift
  env "$@" script -qec "'$cli' training --format gnu '$work/page.php'" /dev/null >"$out"
}
if command -v script >/dev/null; then
  on_terminal "$work/tty.out" TERM=xterm
  check "a terminal gets colour" grep -q $'\e\\[01;36m\e\\[Knote: ' "$work/tty.out"
  on_terminal "$work/tty-no-color.out" TERM=xterm NO_COLOR=1
  check "NO_COLOR turns it off" lacks_escape_byte "$work/tty-no-color.out"
  on_terminal "$work/tty-dumb.out" TERM=dumb
  check "so does a dumb terminal" lacks_escape_byte "$work/tty-dumb.out"
fi

# "-" reads standard input as one file, named "-" or as --stdin-filename says; the report of
# standard input is the report of the file.
(cd "$work" && "$cli" training --format gnu --stdin-filename src/page.php - <"$work/page.php" \
  >"$work/stdin-named.out")
check "standard input takes the name it is given" \
  [ "$(sed 's|^src/page.php:|'"$work"'/page.php:|' "$work/stdin-named.out")" = "$(cat "$work/gnu.out")" ]
(cd "$work" && "$cli" training --format gnu - <"$work/page.php" >"$work/stdin.out")
check "unnamed, it is -" grep -q '^-:2:3: note: .*\[W01\]$' "$work/stdin.out"
mkdir -p "$work/stdin-report"
(cd "$work/stdin-report" && "$cli" training - <"$work/page.php" >/dev/null)
check "its report is the file's" cmp -s "$work/stdin-report/result.html" "$work/html-output/report.html"

# The window program answers --help and --version without a display.
if [ -n "$orven" ]; then
  (unset DISPLAY WAYLAND_DISPLAY && "$orven" --help >"$work/orven-help.out" 2>"$work/orven-help.err")
  check "orven --help exits 0 without a display" [ $? -eq 0 ]
  check "orven --help prints its usage" contains "$work/orven-help.out" "Использование: orven"
  check "orven --help says nothing on stderr" empty "$work/orven-help.err"
  (unset DISPLAY WAYLAND_DISPLAY && "$orven" --version >"$work/orven-version.out")
  check "orven --version prints the version" [ "$(cat "$work/orven-version.out")" = "ОРВЕН 10.4.1" ]
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "orven-cli contract: all checks passed"
