#!/usr/bin/env bash
# Times one training run on a generated whitespace-rich source (256 MiB unless given in MiB)
# against reading the file (cat) and ripgrep counting the same keywords in it, and reports
# the training run's peak memory. Usage: bench/training/run.sh [MEBIBYTES]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${ORVEN_BENCH_BUILD:-$root/build/bench}"
mebibytes="${1:-256}"
repeats=3

cmake --preset default -B "$build" -DORVEN_BUILD_TESTS=OFF -DORVEN_BUILD_FLTK=OFF >/dev/null
cmake --build "$build" -j2 --target bench_training_generate bench_training_run >/dev/null

work=$(mktemp -d /tmp/orven-bench-training.XXXXXX)
trap 'rm -rf "$work"' EXIT
source="$work/source.txt"
"$build/bin/bench_training_generate" "$source" "$mebibytes"
cat "$source" >/dev/null  # into the page cache, as for every later reader

# Prints "seconds peak_kib" of one command, its output discarded.
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null
  cat "$work/time"
}
# The median of the repeats' seconds.
median() { sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

cd "$work"
: >"$work/training" >"$work/cat" >"$work/rg"
for _ in $(seq "$repeats"); do
  measure "$build/bin/bench_training_run" "$source" >>"$work/training"
  measure cat "$source" >>"$work/cat"
  measure rg -F -c -f "$root/bench/training/keywords.txt" "$source" >>"$work/rg"
done
training=$(median <"$work/training")
cat_time=$(median <"$work/cat")
rg_time=$(median <"$work/rg")
peak_kib=$(sort -k2 -n "$work/training" | tail -1 | cut -d' ' -f2)
size_kib=$(($(stat -c %s "$source") / 1024))

echo "source: $mebibytes MiB, $(wc -l <"$root/bench/training/keywords.txt") keywords, median of $repeats runs"
printf 'training run  %6.2f s\n' "$training"
printf 'cat           %6.2f s\n' "$cat_time"
printf 'rg -F -c -f   %6.2f s\n' "$rg_time"
awk -v t="$training" -v r="$rg_time" 'BEGIN { printf "training / rg %6.2f (target at most 2)\n", t / r }'
echo "peak memory of the training run: $((peak_kib / 1024)) MiB (source $((size_kib / 1024)) MiB; target at most source + 64 MiB)"
