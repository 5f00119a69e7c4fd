#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, -fsanitize=fuzzer,address,undefined) and runs each
# named target for SECONDS, one after the other, and prints executions and wall time.
#
# usage: fuzz/run.sh TARGET... SECONDS
#   TARGET    training, expert, numbers (or all)
#   SECONDS   time per target; 0 runs until FUZZ_ARGS (e.g. -runs=10000000) says stop
# environment:
#   FUZZ_BUILD_DIR    build folder (default build/fuzz)
#   FUZZ_SANITIZERS   sanitizers besides libFuzzer (default address,undefined)
#   FUZZ_ARGS         more libFuzzer options, e.g. "-runs=10000000 -jobs=1"
#
# The seeds in fuzz/corpus/TARGET are only read; what the fuzzer learns goes to
# BUILD/corpus/TARGET, and an input that fails a check or trips a sanitizer is saved as
# BUILD/artifacts/TARGET/crash-*. The script fails when any target found something.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -lt 2 ]; then
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
seconds=${!#}
targets=("${@:1:$#-1}")
case $seconds in '' | *[!0-9]*) echo "fuzz/run.sh: SECONDS must be a number, not '$seconds'" >&2; exit 2 ;; esac
[ "${targets[*]}" = all ] && targets=(training expert numbers)
for t in "${targets[@]}"; do
  case $t in
    training | expert | numbers) ;;
    *) echo "fuzz/run.sh: unknown target '$t' (training, expert, numbers)" >&2; exit 2 ;;
  esac
done

build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
mkdir -p "$build"
build=$(cd "$build" && pwd)
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DORVEN_FUZZ_SANITIZERS="${FUZZ_SANITIZERS:-address,undefined}" >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 $(printf -- '--target fuzz_%s ' "${targets[@]}") || exit 1

# A target removes its scratch folder (NAME-PID) only when it ends normally; sweep the ones
# an interrupted or crashed run left behind, whose process is gone.
for scratch in /dev/shm/orven-fuzz-* "${TMPDIR:-/tmp}"/orven-fuzz-*; do
  [ -d "$scratch" ] || continue
  kill -0 "${scratch##*-}" 2>/dev/null || rm -rf "$scratch"
done

status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  log="$build/$t.log"
  mkdir -p "$corpus" "$artifacts"
  options=(-dict="$root/fuzz/$t.dict" -timeout=25 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  [ "$seconds" -gt 0 ] && options+=(-max_total_time="$seconds")
  # Absolute paths throughout: each target works in a scratch folder of its own.
  echo "=== fuzz_$t: ${seconds} s ${FUZZ_ARGS:-}"
  start=$(date +%s)
  # shellcheck disable=SC2086
  "$build/bin/fuzz_$t" "${options[@]}" ${FUZZ_ARGS:-} "$corpus" "$root/fuzz/corpus/$t" >"$log" 2>&1
  result=$?
  wall=$(($(date +%s) - start))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  printf 'fuzz_%s: %s executions in %d s (%s exec/s), exit %d\n' "$t" "${runs:-?}" "$wall" \
    "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)" "$result"
  if [ $result -ne 0 ]; then
    status=1
    grep -E -A25 'fuzz check failed|ERROR: |runtime error|Test unit written' "$log" | head -60
    echo "fuzz_$t FAILED; whole log: $log; inputs: $artifacts"
  fi
done
exit $status
