#!/usr/bin/env bash
# Every I/O call of a run failed in turn: orven-cli runs under the preloaded shim (shim.c),
# first only counting the calls the run makes on its own files, then once for every call N
# with call N failing, until a run makes fewer than N calls. After each run:
#   - it succeeded (exit 0, no error message) with the right outputs, or failed with exit 1
#     and exactly one error message; nothing hangs;
#   - result.html is the old report or a new one whole (the one for the inputs not skipped);
#   - orven_log.txt holds the old lines and then whole new lines in their order, and no line
#     the run did not report lost is missing;
#   - readme.txt is missing or whole, never empty or cut;
#   - no other file is left in the folders (no temporary).
# EINTR and short reads and writes must be retried: those runs must all succeed, byte-exact.
#
# usage: run.sh training|expert ERRORS ORVEN_CLI SHIM SOURCE_ROOT [no-tmpfile]
#   ERRORS: a comma-separated list of EIO, ENOSPC, EINTR, SHORT, and signal names (USR1,
#   KILL, ...) raised just before the call instead: a signal that ends the process must
#   leave the outputs as they were or whole and no temporary, except SIGKILL, whose
#   temporary the next run removes.
set -uo pipefail
mode=$1
IFS=, read -r -a errors <<<"$2"
cli=$(realpath "$3")
shim=$(realpath "$4")
source_root=$(realpath "$5")
variant=${6:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The error caption as the program writes it, taken from the texts.
caption=$(sed -n 's/^inline constexpr std::string_view kErrorCaption = "\(.*\)"_cp;$/\1/p' \
  "$source_root/texts/messages.h")
[ -n "$caption" ] || { echo "no error caption in texts/messages.h"; exit 1; }
error_mark="orven-cli: $caption: "

# The inputs: a named file and a folder of two files for training, a script for expert.
mkdir -p "$work/proto/in/tree" "$work/proto/out"
cp "$source_root/samples/guestbook.php" "$work/proto/in/one.php"
printf '<?php\n// a.php\nfunction f() { return mysql_query("SELECT 1"); }\n?>\n' \
  >"$work/proto/in/tree/a.php"
printf 'plain text with <b>html</b> and include in it\n' >"$work/proto/in/tree/b.txt"
printf '#root::math::get_ctr 100 10\n#root::hv::get_x 1\nnot a command\n#root::math::get_ctr 5 2\n' \
  >"$work/proto/in/script.txt"
printf 'old report\n' >"$work/proto/out/result.html"
printf 'old line 1\r\nold line 2\r\n' >"$work/proto/out/orven_log.txt"

# The right outputs, from runs without the shim in folders of their own.
clean_run() {  # clean_run NAME ARGS...: outputs in $work/expect/NAME
  local name=$1
  shift
  mkdir -p "$work/expect/$name"
  (cd "$work/expect/$name" && "$cli" "$@" >/dev/null 2>&1) || {
    echo "a run without faults failed: $*"
    exit 1
  }
}
in=$work/proto/in
clean_run all training "$in/one.php" "$in/tree"
clean_run no_a training "$in/one.php" "$in/tree/b.txt"
clean_run no_b training "$in/one.php" "$in/tree/a.php"
clean_run no_ab training "$in/one.php"
clean_run expert expert "$in/script.txt"
readme=$work/expect/all/readme.txt
mapfile -t new_lines < <(tr -d '\r' <"$work/expect/expert/orven_log.txt")

same() { cmp -s "$1" "$2"; }

# The report the run should have written, given the inputs it said it skipped.
expected_report() {  # expected_report STDERR
  local a=0 b=0
  grep -qF "tree/a.php" "$1" && a=1
  grep -qF "tree/b.txt" "$1" && b=1
  grep -qF "/in/tree»" "$1" && a=1 && b=1
  case "$a$b" in
    00) echo "$work/expect/all/result.html" ;;
    10) echo "$work/expect/no_a/result.html" ;;
    01) echo "$work/expect/no_b/result.html" ;;
    11) echo "$work/expect/no_ab/result.html" ;;
  esac
}

# Checks the log against the old lines and the new ones; $1 is the run's stderr.
check_log() {
  local log=$1 err=$2 status=$3 what=$4
  if [ -n "$(tail -c2 "$log" | od -An -c | tr -d ' ' | grep -v '\\r\\n')" ]; then
    fail "$what: the log does not end with a whole line"
    return
  fi
  mapfile -t got < <(tr -d '\r' <"$log")
  if [ "${#got[@]}" -lt 2 ] || [ "${got[0]}" != "old line 1" ] || [ "${got[1]}" != "old line 2" ]; then
    fail "$what: the old lines of the log were touched"
    return
  fi
  # The new lines must be the expected ones in order, some perhaps left out.
  local i=2 j=0
  while [ $i -lt ${#got[@]} ]; do
    while [ $j -lt ${#new_lines[@]} ] && [ "${new_lines[$j]}" != "${got[$i]}" ]; do j=$((j + 1)); done
    if [ $j -ge ${#new_lines[@]} ]; then
      fail "$what: log line '${got[$i]}' is no whole line of this run, or out of order"
      return
    fi
    i=$((i + 1))
    j=$((j + 1))
  done
  local present=$((${#got[@]} - 2)) missing
  missing=$((${#new_lines[@]} - present))
  if [ "$status" -eq 0 ] && [ $missing -ne 0 ]; then
    fail "$what: the run succeeded but $missing log lines are missing"
  fi
  # A run that says how many lines it lost must have lost that many.
  local said
  said=$(grep -F "$error_mark" "$err" | sed -n 's/.*: \([0-9][0-9]*\)\.\( .*\)\?$/\1/p')
  if [ -n "$said" ] && ! grep -qF "/in/script.txt" "$err" && [ "$said" -lt $missing ]; then
    fail "$what: the run said $said log lines were lost, but $missing are missing"
  fi
}

cases=0
run_case() {  # run_case ERROR N: leaves the shim's report in $work/report
  local error=$1 n=$2 dir=$work/case
  rm -rf "$dir"
  cp -a "$work/proto" "$dir"
  rm -f "$work/report"
  local status injected=$error signal=0
  case $error in
    E* | SHORT) ;;
    *)
      signal=$(kill -l "$error")
      injected=SIG$signal
      ;;
  esac
  (
    cd "$dir/out" || exit 99
    ulimit -c 0
    export ORVEN_FAULT_ROOT=$dir ORVEN_FAULT_AT=$n ORVEN_FAULT_ERROR=$injected \
      ORVEN_FAULT_REPORT=$work/report
    [ "$variant" = no-tmpfile ] && export ORVEN_FAULT_NO_TMPFILE=1
    if [ "$mode" = training ]; then
      exec timeout 20 env LD_PRELOAD="$shim" "$cli" training "$dir/in/one.php" "$dir/in/tree" >"$work/out" 2>"$work/err"
    else
      exec timeout 20 env LD_PRELOAD="$shim" "$cli" expert "$dir/in/script.txt" >"$work/out" 2>"$work/err"
    fi
  ) 2>/dev/null # bash's own note on a child ended by a signal
  status=$?
  [ "$n" -eq 0 ] && return 0
  cases=$((cases + 1))
  local what="$mode $error call $n ($(cut -d' ' -f3 "$work/report" 2>/dev/null))"
  local errors_said
  errors_said=$(grep -cF "$error_mark" "$work/err")
  if [ $signal -ne 0 ] && [ $status -eq $((128 + signal)) ]; then
    # Ended by the signal: nothing to say, whatever it had written stays whole.
    status=1
    errors_said=1
    if [ "$error" = KILL ]; then
      # SIGKILL leaves a named temporary behind; the next run removes it.
      (cd "$dir/out" && "$cli" training "$dir/in/one.php" >/dev/null 2>&1)
      cp "$work/expect/no_ab/result.html" "$work/expect/now.html"
      same "$dir/out/result.html" "$work/expect/now.html" || fail "$what: the next run failed"
      cp "$work/proto/out/result.html" "$dir/out/result.html"
    fi
  fi
  case $status in
    0) [ "$errors_said" -eq 0 ] || fail "$what: exit 0 with an error message" ;;
    1) [ "$errors_said" -eq 1 ] || fail "$what: exit 1 with $errors_said error messages" ;;
    124) fail "$what: the run hung" ;;
    *) fail "$what: exit $status" ;;
  esac
  if [ "$error" = EINTR ] || [ "$error" = SHORT ] || [ "$error" = PIPE ] || [ "$error" = XFSZ ]; then
    [ $status -eq 0 ] && [ ! -s "$work/err" ] || fail "$what: not retried ($(head -c 300 "$work/err"))"
  fi
  if [ "$mode" = training ]; then
    local report
    report=$(expected_report "$work/err")
    if [ $status -eq 0 ]; then
      same "$dir/out/result.html" "$report" || fail "$what: exit 0 but the report is not right"
    elif ! same "$dir/out/result.html" "$work/proto/out/result.html" &&
      ! same "$dir/out/result.html" "$report"; then
      fail "$what: result.html is neither the old report nor the new one"
    fi
  else
    same "$dir/out/result.html" "$work/proto/out/result.html" || fail "$what: result.html touched"
    check_log "$dir/out/orven_log.txt" "$work/err" $status "$what"
  fi
  if [ -e "$dir/out/readme.txt" ] && ! same "$dir/out/readme.txt" "$readme"; then
    fail "$what: readme.txt is there but not whole ($(stat -c %s "$dir/out/readme.txt") bytes)"
  fi
  local left
  left=$(cd "$dir" && find . -mindepth 1 | sort | grep -vxF -e ./in -e ./in/tree -e ./in/one.php \
    -e ./in/tree/a.php -e ./in/tree/b.txt -e ./in/script.txt -e ./out -e ./out/result.html \
    -e ./out/orven_log.txt -e ./out/readme.txt | tr '\n' ' ')
  [ -z "$left" ] || fail "$what: left behind: $left"
}

for error in "${errors[@]}"; do
  run_case "$error" 0
  total=$(cut -d' ' -f1 "$work/report")
  failed=0
  n=1
  # Threads may make a few more or fewer calls from one run to the next: go on until a run
  # makes fewer calls than N.
  while :; do
    run_case "$error" $n
    [ "$(cut -d' ' -f2 "$work/report")" = 1 ] || break
    failed=$((failed + 1))
    n=$((n + 1))
    [ $n -le 5000 ] || { fail "more than 5000 calls"; break; }
  done
  echo "$mode${variant:+ ($variant)}: $error: $total calls counted, $failed failed in turn"
done
echo "$cases runs checked, $failures failures"
[ $failures -eq 0 ]
