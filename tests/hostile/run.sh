#!/usr/bin/env bash
# orven-cli against hostile files, one case per CTest test:
#   big_source     a 1 GiB source, made on the fly and removed after, then the same bytes
#                  as a tree of 20,000 files: the same report (and a SARIF log), each within
#                  32 MiB of memory (training streams); a 1 GiB source that is a single word
#   long_line      a 200 MiB script line with no line feed; long lines, memory per line
#   devices        devices and a pipe as source or script: refused at once, exit 1
#   odd_path       blanks, Cyrillic letters and quotes in the name, both modes
#   out_of_memory  ulimit -v below what the file needs: expert mode says so, exit 1, no
#                  output; training streams and succeeds, on one thread if it must
#   full_disk      a full file system while the log is appended (a small tmpfs; needs root)
#   size_limit     ulimit -f below what the outputs need: the usual failure, whole log lines
#   shared_log     two runs append to one log, one of them past its size limit
#   swap_race      the input swapped between a file and a pipe while runs start: none hangs
#   no_inodes      a folder where no new file can be made: the report rewritten in place
#   stdout         the completion message lost to a closed stream, /dev/full or a closed pipe
#   deep_tree      a tree 10,000 folders deep (far past PATH_MAX): walked to the bottom within
#                  32 MiB; run from a current folder 3,000 deep, its outputs are not read back
#   wide_folder    one folder of 200,000 files with 100-byte names: within 48 MiB, the last read
#                  (and its findings with their places, within 48 MiB too)
#   deep_formats   every machine format over a tree 10,000 folders deep with an empty and then a
#                  7-byte .c file at every level: within 32 MiB (the findings keep no name of a
#                  file that no place refers to)
#   wide_formats   every machine format over one folder of 200,000 empty files: within 48 MiB
#   walk_memory    ulimit -v at many limits over a deep and a wide tree: exit 0 with the report
#                  of an unlimited run, or exit 1 saying memory ran out; never an abort, never
#                  a folder "skipped"
#   link_swap      a folder swapped for a link to elsewhere while runs walk: never entered
#   ignore_depth   a repository 10,000 folders deep with a .gitignore at every level: walked as
#                  git would, within 32 MiB and 5 s of processor time
#   star_pattern   "**/" 26 times before a name in a .gitignore, over a path 60 folders deep of
#                  long names: within a second of processor time (git's own matcher takes
#                  minutes), and the patterns that hold are honoured
# Exit 77 skips a case that cannot run here, with the reason on stdout.
#
# usage: run.sh CASE ORVEN_CLI plain|sanitized
set -uo pipefail
case_name=$1
cli=$(realpath "$2")
build=${3:-plain}

work=$(mktemp -d)
mounted=""
cleanup() {
  cd /
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}
skip() {
  echo "SKIP: $*"
  exit 77
}
# A tool of the test set (scripts/packages/test.txt) that is missing fails the case: set-up
# installs it, so only a broken set-up lacks it.
need() {  # need COMMAND PACKAGE
  command -v "$1" >/dev/null ||
    { echo "FAIL: $1 (Debian package $2) is missing; scripts/install-deps.sh test installs it"; exit 1; }
}
mib=$((1024 * 1024))

# Runs orven-cli MODE FILE in the current folder under /usr/bin/time; leaves the exit status
# in $status, the peak resident memory in bytes in $peak, the streams in out.txt / err.txt.
run_cli() {
  /usr/bin/time -f '%M %e %U %S' -o "$work/time.txt" "$cli" "$@" >"$work/out.txt" 2>"$work/err.txt"
  status=$?
  read -r kib wall user system < <(tail -1 "$work/time.txt")
  peak=$((kib * 1024))
  # Processor time (user and system) in milliseconds: what a loaded machine does not stretch
  # as it stretches the wall time.
  cpu_ms=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1000 }')
}
# A limit on processor time, in ms: the figure for a plain build; the sanitizers' checks make
# the same work several times dearer, so a sanitized build is held to five times the figure.
cpu_limit() { if [ "$build" = plain ]; then echo "$1"; else echo $(($1 * 5)); fi; }
# How many runs race a swapper: a sanitized run starts several times slower, and the swapper
# takes a core of its own, so a sanitized build races a quarter as many in its time.
race_starts() { if [ "$build" = plain ]; then echo "$1"; else echo $(($1 / 4)); fi; }
say_time() { echo "time: ${wall} s wall, ${cpu_ms} ms of processor ($1; load $(cut -d' ' -f1-3 /proc/loadavg))"; }
say_peak() { echo "peak memory: $((peak / mib)) MiB ($1)"; }
stderr_has() { grep -qF -- "$1" "$work/err.txt"; }
no_file() { [ ! -e "$1" ]; }
no_temporaries() { [ -z "$(find . -maxdepth 1 -name '*.tmp' -print -quit)" ]; }
log_is() { [ "$(od -An -c orven_log.txt | tr -s ' \n' ' ')" = "$(printf '%s' "$1" | od -An -c | tr -s ' \n' ' ')" ]; }

case $case_name in
big_source)
  [ "$build" = plain ] || skip "memory is only measured in the plain build"
  need /usr/bin/time time
  size=$((1024 * mib))
  # Words and whitespace, with keywords of both sections, streamed straight to disk.
  yes '<?php echo $x; for ($i = 0; $i < 10; ++$i) #include <windows.h> sprintf(buf, "%d", i);' |
    head -c $size >big.php
  run_cli training big.php
  say_peak "1 GiB source of words"
  check "a 1 GiB source gives a report" [ $status -eq 0 ]
  check "the report has both sections" grep -q 'C++</h2>' result.html
  check "peak memory under 32 MiB" [ $peak -lt $((32 * mib)) ]
  mv result.html one-file.html

  # The same bytes cut into 20,000 files of one folder (names in the order of the pieces).
  mkdir tree
  split -b $((size / 20000 + 1)) -d -a 5 --additional-suffix=.php big.php tree/part-
  rm -f big.php
  run_cli training tree
  say_peak "1 GiB tree of $(find tree -type f | wc -l) files"
  check "a tree of 20,000 files gives a report" [ $status -eq 0 ]
  check "the report of the one file" cmp -s result.html one-file.html
  check "peak memory under 32 MiB" [ $peak -lt $((32 * mib)) ]
  # The findings with their places: every keyword counted over all of it.
  run_cli training --format sarif tree
  say_peak "SARIF of the 1 GiB tree"
  check "the tree gives a SARIF log (exit $status)" [ $status -eq 0 ]
  check "the log has results" grep -q '"ruleId"' "$work/out.txt"
  check "peak memory under 32 MiB" [ $peak -lt $((32 * mib)) ]
  rm -rf tree result.html one-file.html

  # One word of a gigabyte (no whitespace at all): slot 0 keeps only its end.
  head -c $size /dev/zero | tr '\0' 'w' >word.bin
  run_cli training word.bin
  say_peak "1 GiB source that is one word"
  check "a 1 GiB single word gives a report" [ $status -eq 0 ]
  check "peak memory under 32 MiB" [ $peak -lt $((32 * mib)) ]
  ;;

long_line)
  size=$((200 * mib))
  { printf '#root::hv::get_ajax 5 '; head -c $size /dev/zero | tr '\0' '7'; } >line.txt
  run_cli expert line.txt
  say_peak "one 200 MiB line"
  check "a 200 MiB line without a line feed runs" [ $status -eq 0 ]
  check "it logs its one line" log_is $'#root::hv::get_ajax = 1\r\n'
  if [ "$build" = plain ]; then
    check "memory within twice the line plus 64 MiB" [ $peak -le $((2 * size + 64 * mib)) ]
  fi
  rm -f line.txt orven_log.txt

  # A command word of 200 MiB is logged whole.
  { printf '#root::hv::get_'; head -c $size /dev/zero | tr '\0' 'w'; printf ' 5'; } >word.txt
  run_cli expert word.txt
  say_peak "a 200 MiB command word"
  check "a 200 MiB command word runs" [ $status -eq 0 ]
  check "its verdict line is logged whole" [ "$(stat -c %s orven_log.txt)" -eq $((15 + size + 6)) ]
  check "and ends as a verdict line" [ "$(tail -c 5 orven_log.txt | od -An -c | tr -d ' \n')" = '=0\r\n' ]
  if [ "$build" = plain ]; then
    # The line, the word taken from it and the log line made of the word.
    check "memory within four times the line plus 64 MiB" [ $peak -le $((4 * size + 64 * mib)) ]
  fi
  rm -f word.txt orven_log.txt

  # Memory follows the longest line, not the script: 100 lines of 2 MiB.
  for i in $(seq 100); do
    printf '#root::math::vptya %d ' "$i"
    head -c $((2 * mib)) /dev/zero | tr '\0' '1'
    printf '\n'
  done >lines.txt
  run_cli expert lines.txt
  say_peak "100 lines of 2 MiB"
  check "a script of long lines runs" [ $status -eq 0 ]
  check "one log line per line" [ "$(grep -c '<<  ' orven_log.txt)" -eq 100 ]
  if [ "$build" = plain ]; then
    check "memory stays far below the script's size" [ $peak -le $((32 * mib)) ]
  fi
  ;;

devices)
  mkfifo pipe
  for mode in training expert; do
    for file in /dev/zero /dev/urandom pipe; do
      # A mode that read on would run for ever (or wait for a writer): ten seconds is plenty.
      timeout 10 "$cli" "$mode" "$file" >out.txt 2>err.txt
      status=$?
      check "$mode $file: refused with exit 1 (got $status)" [ $status -eq 1 ]
      check "$mode $file: the message names it and says why" \
        stderr_has "«$file» — не обычный файл"
      check "$mode $file: no output" eval '[ ! -e result.html ] && [ ! -e orven_log.txt ]'
    done
  done
  ;;

odd_path)
  dir="$work/папка с пробелами/и 'кавычками'"
  file="$dir/«исходник» \"двойные\".php"
  mkdir -p "$dir" out
  printf '<?php echo 1;\n#root::math::get_ctr 100 10\n' >"$file"
  printf '<?php echo 1;\n#root::math::get_ctr 100 10\n' >plain.php
  (cd out && "$cli" training ../plain.php >/dev/null) && mv out/result.html plain.html
  cd out || exit 1
  run_cli training "$file"
  check "training reads the oddly named file" [ $status -eq 0 ]
  check "its report is that of the same text under a plain name" cmp -s result.html ../plain.html
  run_cli expert "$file"
  check "expert reads the oddly named file" [ $status -eq 0 ]
  check "and logs its command" log_is $'#root::math::get_ctr << 1000\r\n'
  run_cli expert "$dir/нет такого «файла».txt"
  check "a missing odd name: exit 1" [ $status -eq 1 ]
  check "the message names it exactly" stderr_has "Не удалось прочитать файл «$dir/нет такого «файла».txt»."
  ;;

out_of_memory)
  [ "$build" = plain ] || skip "the sanitizers reserve far more address space than ulimit -v allows"
  # 64 MiB of address space starts orven-cli but cannot hold a 256 MiB file (sparse: zero
  # bytes, one long line in expert mode).
  truncate -s $((256 * mib)) big.bin
  (ulimit -v $((64 * 1024)) && exec "$cli" expert big.bin) >out.txt 2>err.txt
  status=$?
  check "expert: out of memory gives exit 1 (got $status)" [ $status -eq 1 ]
  check "expert: the message says so and names the file" \
    stderr_has "Не хватило памяти для обработки файла «big.bin». Результат не записан."
  check "expert: no completion message" [ ! -s out.txt ]
  check "expert: no output, no temporary file" eval '[ ! -e orven_log.txt ] && no_temporaries'
  rm -f big.bin

  # Training holds no source, so the same limit does not stop it on 256 MiB of words; nor
  # does a stack limit so large that no second thread fits (the run goes on alone).
  yes '<?php echo $x; #include <windows.h> sprintf(buf, "%d", i);' | head -c $((256 * mib)) >words.php
  "$cli" training words.php >/dev/null 2>&1 && mv result.html unlimited.html
  for stack in default $((60 * 1024)); do
    (ulimit -v $((64 * 1024)) && { [ $stack = default ] || ulimit -s $stack; } &&
      exec "$cli" training words.php) >out.txt 2>err.txt
    status=$?
    check "training, stack $stack: exit 0 under the limit (got $status: $(cat err.txt))" [ $status -eq 0 ]
    check "training, stack $stack: the report of an unlimited run" cmp -s result.html unlimited.html
    rm -f result.html
  done
  ;;

full_disk)
  [ "$(id -u)" -eq 0 ] || skip "mounting a small tmpfs needs root"
  mkdir disk
  mount -t tmpfs -o size=64k orven-full disk 2>/dev/null || skip "mount -t tmpfs is not permitted here"
  mounted="$work/disk"
  for i in $(seq 3000); do echo "#root::math::get_aimcost $i 1000"; done >script.txt
  cd disk || exit 1
  printf 'earlier line\r\n' >orven_log.txt
  run_cli expert ../script.txt
  check "a full disk gives exit 1" [ $status -eq 1 ]
  check "the message counts the lost lines" stderr_has "Не удалось дописать файл «$mounted/orven_log.txt». Потеряно строк журнала: "
  check "no completion message" [ ! -s "$work/out.txt" ]
  check "the earlier line is still first" [ "$(head -c 14 orven_log.txt | od -An -c | tr -d ' \n')" = 'earlierline\r\n' ]
  check "the log holds whole lines only" [ "$(tail -c 2 orven_log.txt | od -An -c | tr -d ' \n')" = '\r\n' ]
  lines=$(grep -c '' orven_log.txt)
  lost=$(sed -n 's/.*Потеряно строк журнала: \([0-9]*\)\..*/\1/p' "$work/err.txt")
  check "lines written and lines lost add up ($lines - 1 + $lost = 3000)" [ $((lines - 1 + lost)) -eq 3000 ]
  # With room again, the next run appends cleanly after the last whole line.
  mount -o remount,size=128k "$mounted" || skip "the tmpfs cannot be made larger"
  before=$(stat -c %s orven_log.txt)
  printf '#root::hv::get_ajax 5' >../again.txt
  run_cli expert ../again.txt
  check "with room again the run succeeds" [ $status -eq 0 ]
  check "its line follows the last whole line" \
    [ "$(tail -c +$((before + 1)) orven_log.txt | od -An -c | tr -d ' \n')" = '#root::hv::get_ajax=1\r\n' ]
  ;;

size_limit)
  printf '<?php echo 1;\n#include <windows.h>\n' >a.php
  "$cli" training a.php >/dev/null || exit 1
  cp result.html old.html
  rm readme.txt
  for i in $(seq 2000); do echo "#root::math::get_aimcost $i 1000"; done >script.txt
  # 8 KiB: room for the readme and a part of the log, not for the report (about 14 KiB).
  (ulimit -f 8 && exec "$cli" training a.php) >out.txt 2>err.txt
  status=$?
  check "training past the limit: exit 1, not a signal (got $status)" [ $status -eq 1 ]
  check "the message names the report by its full path" stderr_has "«$work/result.html»"
  check "the old report is intact" cmp -s result.html old.html
  check "no temporary file is left" no_temporaries
  check "the readme is still written" [ -s readme.txt ]
  (ulimit -f 8 && exec "$cli" expert script.txt) >out.txt 2>err.txt
  status=$?
  check "expert past the limit: exit 1 (got $status)" [ $status -eq 1 ]
  check "the message names the log" stderr_has "«$work/orven_log.txt»"
  check "the log stays within the limit" [ "$(stat -c %s orven_log.txt)" -le 8192 ]
  check "the log ends in a whole line" [ "$(tail -c 2 orven_log.txt | od -An -c | tr -d ' \n')" = '\r\n' ]
  printf '#root::hv::get_ajax 5' >again.txt
  "$cli" expert again.txt >/dev/null
  check "the next run appends a whole line after it" \
    [ "$(tail -c 26 orven_log.txt | od -An -c | tr -d ' \n')" = '\n#root::hv::get_ajax=1\r\n' ]
  ;;

shared_log)
  # Two runs append to one log; B may only write until the log reaches 256 KiB, so one of its
  # lines is cut by the limit and taken back while A goes on appending. Without a lock held
  # across the write and the repair, B's repair would cut A's lines.
  lines=50000
  for i in $(seq $lines); do echo "#root::math::get_aimcost $i 1"; done >a.txt
  for i in $(seq $lines); do echo "#root::math::vptga $i"; done >b.txt
  "$cli" expert a.txt >a.out 2>a.err &
  a=$!
  (ulimit -f 256 && exec "$cli" expert b.txt) >b.out 2>b.err &
  b=$!
  wait $a
  a_status=$?
  wait $b
  b_status=$?
  check "A kept all its lines and exits 0 (got $a_status)" [ $a_status -eq 0 ]
  check "B lost lines and exits 1 (got $b_status)" [ $b_status -eq 1 ]
  check "every line of the log is whole" \
    [ "$(grep -c -v -a -E $'^#root::math::(get_aimcost|vptga) << [0-9]+\r$' orven_log.txt)" -eq 0 ]
  check "A's lines are all there, in order" \
    cmp -s <(grep -a get_aimcost orven_log.txt | cut -d' ' -f3 | tr -d '\r') <(seq $lines)
  b_lines=$(grep -c -a vptga orven_log.txt)
  b_lost=$(sed -n 's/.*: \([0-9][0-9]*\)\.\( .*\)\?$/\1/p' b.err)  # the count, then perhaps the cause
  check "B's lines written and lost add up ($b_lines + $b_lost = $lines)" [ $((b_lines + ${b_lost:-0})) -eq $lines ]
  ;;

swap_race)
  # The name "input" is renamed between a regular file and a pipe as fast as it goes while
  # runs start; a run that checked the name and then opened it would wait on the pipe.
  printf '#root::hv::get_ajax 5\n<?php echo 1;\n' >file.txt
  ( while :; do
      cp file.txt f.tmp && mv f.tmp input
      mkfifo p.tmp 2>/dev/null && mv p.tmp input
    done ) &
  swapper=$!
  hung=0
  starts=$(race_starts 200)
  for i in $(seq $starts); do
    for mode in training expert; do
      timeout 10 "$cli" $mode input >/dev/null 2>&1
      [ $? -eq 124 ] && hung=$((hung + 1))
    done
  done
  kill $swapper
  wait $swapper 2>/dev/null
  check "no run waited on the pipe ($hung of $((2 * starts)) hung)" [ $hung -eq 0 ]
  ;;

no_inodes)
  [ "$(id -u)" -eq 0 ] || skip "mounting a small tmpfs needs root"
  mkdir disk
  mount -t tmpfs -o size=4m,nr_inodes=16 orven-inodes disk 2>/dev/null || skip "mount -t tmpfs is not permitted here"
  mounted="$work/disk"
  cd disk || exit 1
  printf 'nothing here' >plain.txt
  printf '<?php echo 1;' >page.php
  "$cli" training plain.txt >/dev/null || exit 1
  cp result.html "$work/plain.html"
  i=0
  while touch "filler$i" 2>/dev/null; do i=$((i + 1)); done
  run_cli training page.php
  check "with no inode left the report is rewritten in place (exit $status)" [ $status -eq 0 ]
  check "it is the new report" grep -q RewriteEngine result.html
  check "no temporary file is left" no_temporaries
  rm result.html
  touch filler-again
  run_cli training page.php
  check "a report that does not exist yet cannot be made there: exit 1" [ $status -eq 1 ]
  ;;

stdout)
  printf '<?php echo 1;' >a.php
  mkfifo pipe
  for target in closed full pipe; do
    rm -f result.html readme.txt
    case $target in
      closed) "$cli" training a.php >&- 2>err.txt ;;
      full) "$cli" training a.php >/dev/full 2>err.txt ;;
      pipe)
        # A pipe whose only reader is gone: a write to it fails (or raises SIGPIPE).
        exec 3<>pipe 4>pipe 3<&-
        "$cli" training a.php >&4 2>err.txt
        ;;
    esac
    status=$?
    exec 4>&- 2>/dev/null
    check "$target: the lost completion message is a failure (exit $status)" [ $status -eq 1 ]
    check "$target: said on stderr" grep -q '^orven-cli: ' err.txt
    check "$target: the report and the readme are kept" eval '[ -s result.html ] && [ -s readme.txt ]'
  done
  ;;

deep_tree)
  [ "$build" = plain ] || skip "memory is only measured in the plain build"
  need /usr/bin/time time
  # perl-base is part of every Debian system; mkdir -p cannot make paths past PATH_MAX.
  perl -e 'for (1 .. 10000) { mkdir "d" or die; chdir "d" or die }
    open my $f, ">", "bottom.php" or die; print $f "<?php #include <windows.h>\n"' || exit 1
  printf '<?php #include <windows.h>\n' >alone.php
  "$cli" training alone.php >/dev/null && mv result.html alone.html
  run_cli training d
  say_peak "a tree 10,000 folders deep"
  check "a 10,000-deep tree gives a report (exit $status: $(head -c 300 err.txt))" [ $status -eq 0 ]
  check "the file at the bottom was read" cmp -s result.html alone.html
  check "peak memory under 32 MiB" [ $peak -lt $((32 * mib)) ]
  rm -f result.html
  # A current folder 3,000 deep (its path is longer than PATH_MAX): the outputs written there
  # are still known, so a second run over it gives the same report.
  perl -e 'for (1 .. 3000) { chdir "d" or die }
    for (1 .. 2) { system($ARGV[0], "training", ".") == 0 or exit 1;
      rename "result.html", "run$_.txt" if $_ == 1 }
    system("cmp", "-s", "run1.txt", "result.html") == 0 or exit 2' "$cli" >/dev/null 2>err.txt
  status=$?
  check "from a current folder past PATH_MAX two runs give one report (exit $status)" [ $status -eq 0 ]
  ;;

wide_folder)
  [ "$build" = plain ] || skip "memory is only measured in the plain build"
  need /usr/bin/time time
  mkdir wide
  perl -e 'for my $i (1 .. 200000) { my $n = sprintf("wide/%096d.php", $i);
      open my $f, ">", $n or die; print $f "x\n"; close $f }
    open my $f, ">", sprintf("wide/%096d.php", 200000) or die; print $f "<?php\n"' || exit 1
  printf 'x\n<?php\n' >alone.php
  "$cli" training alone.php >/dev/null && mv result.html alone.html
  run_cli training wide
  say_peak "one folder of 200,000 files with 100-byte names"
  check "the folder gives a report (exit $status)" [ $status -eq 0 ]
  check "its last file was read" cmp -s result.html alone.html
  check "peak memory under 48 MiB" [ $peak -lt $((48 * mib)) ]
  # With places no name is kept but those of files that may hold a first occurrence.
  run_cli training --format json wide
  say_peak "JSON of one folder of 200,000 files"
  check "the folder gives findings (exit $status)" [ $status -eq 0 ]
  check "the last file holds the first <?php" grep -q "$(printf '%096d' 200000).php" "$work/out.txt"
  check "peak memory under 48 MiB" [ $peak -lt $((48 * mib)) ]
  ;;

deep_formats)
  [ "$build" = plain ] || skip "memory is only measured in the plain build"
  need /usr/bin/time time
  for content in "" $'int x;\n'; do
    rm -rf d
    perl -e 'for (1 .. 10000) { mkdir "d" or die; chdir "d" or die;
      open my $f, ">", "x.c" or die; print $f $ARGV[0]; close $f }
      open my $f, ">", "bottom.c" or die; print $f "#include <windows.h>\n"' "$content" || exit 1
    for format in sarif json gnu; do
      run_cli training --format $format d
      say_peak "--format $format, a tree 10,000 folders deep, files of ${#content} bytes at every level"
      check "--format $format gives its findings (exit $status: $(head -c 300 err.txt))" [ $status -eq 0 ]
      [ $format = json ] && check "the file at the bottom holds the gate" grep -q 'bottom.c' out.txt
      check "peak memory under 32 MiB" [ $peak -lt $((32 * mib)) ]
    done
  done
  ;;

wide_formats)
  [ "$build" = plain ] || skip "memory is only measured in the plain build"
  need /usr/bin/time time
  mkdir wide
  perl -e 'for my $i (1 .. 200000) { open my $f, ">", sprintf("wide/%096d.c", $i) or die }
    open my $f, ">", sprintf("wide/%096d.c", 200001) or die; print $f "#include\n"' || exit 1
  for format in sarif json gnu; do
    run_cli training --format $format wide
    say_peak "--format $format, one folder of 200,000 empty files"
    check "--format $format gives its findings (exit $status: $(head -c 300 err.txt))" [ $status -eq 0 ]
    check "peak memory under 48 MiB" [ $peak -lt $((48 * mib)) ]
  done
  ;;

walk_memory)
  [ "$build" = plain ] || skip "the sanitizers reserve far more address space than ulimit -v allows"
  perl -e 'for (1 .. 1000) { mkdir "d" or die; chdir "d" or die }
    open my $f, ">", "bottom.php" or die; print $f "<?php #include <windows.h>\n"' || exit 1
  mkdir wide
  perl -e 'for my $i (1 .. 100000) { open my $f, ">", sprintf("wide/%060d.h", $i) or die }' || exit 1
  "$cli" training d wide >/dev/null 2>&1 && mv result.html unlimited.html
  aborted=0 wrong=0 skipped=0 ok=0 oom=0
  for limit in 6 8 10 12 14 16 18 20 24 28 32 40 48 64; do
    # Below the room the loader needs for the program and its libraries nothing of ours
    # runs at all (exit 127 before main): such a limit says nothing about the walk.
    if ! (ulimit -v $((limit * 1024)) && exec "$cli" --version) >/dev/null 2>&1; then
      echo "limit $limit MiB: the program cannot even be loaded"
      continue
    fi
    (ulimit -v $((limit * 1024)) && exec "$cli" training d wide) >out.txt 2>err.txt
    status=$?
    if grep -q 'пропущен' err.txt; then skipped=$((skipped + 1)); fi
    case $status in
      0) if cmp -s result.html unlimited.html; then ok=$((ok + 1)); else wrong=$((wrong + 1)); fi ;;
      1) if grep -q 'Не хватило памяти' err.txt && [ ! -e result.html ]; then oom=$((oom + 1))
         else wrong=$((wrong + 1)); fi ;;
      *) aborted=$((aborted + 1)); echo "limit $limit MiB: exit $status: $(head -c 300 err.txt)" ;;
    esac
    rm -f result.html
  done
  echo "limits: $ok gave the report, $oom ran out of memory"
  check "no run aborted ($aborted)" [ $aborted -eq 0 ]
  check "no run gave a wrong report or a wrong message ($wrong)" [ $wrong -eq 0 ]
  check "no folder was reported skipped for want of memory ($skipped)" [ $skipped -eq 0 ]
  check "the largest limits give the report" [ $ok -gt 0 ]
  ;;

link_swap)
  # tree/sub is a folder, then a link to a folder elsewhere that holds C++, and back, as fast
  # as it goes; a walk that entered the link would give the C++ section.
  mkdir -p tree/sub outside
  printf '<?php echo 1;\n' >tree/page.php
  printf 'echo 2;\n' >tree/sub/a.php
  printf '#include <windows.h>\n' >outside/b.php
  ( while :; do
      mv tree/sub tree/sub.away && ln -s ../outside tree/sub
      rm tree/sub && mv tree/sub.away tree/sub
    done ) &
  swapper=$!
  entered=0
  starts=$(race_starts 300)
  for i in $(seq $starts); do
    "$cli" training tree >/dev/null 2>&1
    grep -q 'C++</h2>' result.html 2>/dev/null && entered=$((entered + 1))
  done
  kill $swapper
  wait $swapper 2>/dev/null
  check "no walk entered the link ($entered of $starts)" [ $entered -eq 0 ]
  ;;

ignore_depth)
  [ "$build" = plain ] || skip "memory and time are only measured in the plain build"
  need /usr/bin/time time
  need git git
  export HOME="$work" XDG_CONFIG_HOME="$work/.config" GIT_CONFIG_NOSYSTEM=1
  git init -q d || exit 1
  # Every level: rules of each kind (a name, a wildcard, an anchored one, one taken back, a
  # folder) and a file each of them leaves out; at the bottom the one source that is left.
  perl -e 'chdir "d" or die;
    for my $i (1 .. 10000) { mkdir "d" or die; chdir "d" or die;
      open my $g, ">", ".gitignore" or die;
      print $g "*.tmp.c\nbuild/\n/local$i.c\n!keep.tmp.c\nnoise.h\n"; close $g;
      for my $n ("junk.tmp.c", "local$i.c", "noise.h") { open my $f, ">", $n or die; print $f "#include\n" } }
    open my $f, ">", "bottom.php" or die; print $f "<?php\n"' || exit 1
  printf '<?php\n' >alone.php
  "$cli" training alone.php >/dev/null && mv result.html alone.html
  run_cli training d
  say_peak "a repository 10,000 folders deep, a .gitignore at every level"
  say_time "the same"
  check "the deep repository gives a report (exit $status: $(head -c 300 err.txt))" [ $status -eq 0 ]
  check "of the one file no rule leaves out" cmp -s result.html alone.html
  check "peak memory under 32 MiB" [ $peak -lt $((32 * mib)) ]
  check "processor time under 5 s (a plain build)" [ "$cpu_ms" -lt "$(cpu_limit 5000)" ]
  ;;

star_pattern)
  need /usr/bin/time time
  export HOME="$work" XDG_CONFIG_HOME="$work/.config" GIT_CONFIG_NOSYSTEM=1
  mkdir -p r/.git
  git init -q r 2>/dev/null
  stars=$(printf '**/%.0s' $(seq 26))
  printf '%sx.c\n%sdeep\n' "$stars" "$stars" >r/.gitignore
  path=r
  for i in $(seq 60); do path="$path/$(printf 'f%.0s' $(seq 60))$i"; done
  mkdir -p "$path/deep"
  printf '#include\n' >"$path/x.c"
  printf '#include\n' >"$path/deep/y.c"
  printf '<?php\n' >"$path/page.php"
  printf '<?php\n' >alone.php
  "$cli" training alone.php >/dev/null && mv result.html alone.html
  run_cli training r
  say_time "\"**/\" 26 times over a path 60 folders deep"
  check "the run ends (exit $status: $(head -c 300 err.txt))" [ $status -eq 0 ]
  check "the rules hold: only page.php is read" cmp -s result.html alone.html
  check "processor time under a second (a plain build)" [ "$cpu_ms" -lt "$(cpu_limit 1000)" ]
  ;;

*)
  echo "unknown case $case_name"
  exit 2
  ;;
esac

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
