#!/usr/bin/env bash
# Times training runs against ripgrep counting the same keywords, side by side, on two
# generated inputs with a warm page cache: one whitespace-rich source (256 MiB unless given)
# and a tree of 20,000 files of 1 GiB in all (unless given). Prints the best of 5 runs of
# each (by wall time) with wall time, CPU time (user + system) and peak resident memory (the
# last two as /usr/bin/time reports them), and the training / rg ratios. The inputs are made in a temporary
# folder outside the repository and removed afterwards.
# On the tree it also times reading every file with cat (find | xargs cat), the floor of any
# walk. ORVEN_BENCH_BEFORE=REVISION adds the training runs of that revision (built from
# `git archive` in the build folder) side by side, for a before and after in one run.
# The training runs that write the report (html) are timed side by side with runs that make
# the findings' SARIF log (--format sarif, keywords matched in code: the one file is C, the
# tree's files PHP, C++ and HTML) instead, and their ratio is printed too.
# Usage: bench/training/run.sh [MEBIBYTES] [TREE_MEBIBYTES] [TREE_FILES]
set -euo pipefail
export LC_NUMERIC=C  # a decimal point in $EPOCHREALTIME and printf, whatever the locale
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${ORVEN_BENCH_BUILD:-$root/build/bench}"
mebibytes="${1:-256}"
tree_mebibytes="${2:-1024}"
tree_files="${3:-20000}"
repeats=5
keywords="$root/bench/training/keywords.txt"

cmake --preset default -B "$build" -DORVEN_BUILD_TESTS=OFF -DORVEN_BUILD_GTK=OFF >/dev/null
cmake --build "$build" -j2 --target bench_training_generate bench_training_run >/dev/null
before="${ORVEN_BENCH_BEFORE:-}"
if [ -n "$before" ]; then
  before_src="$build/before-src"
  rm -rf "$before_src"
  mkdir -p "$before_src"
  git -C "$root" archive "$before" | tar -x -C "$before_src"
  cmake -S "$before_src" -B "$build/before" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVEN_BUILD_TESTS=OFF -DORVEN_BUILD_GTK=OFF >/dev/null
  cmake --build "$build/before" -j2 --target bench_training_run >/dev/null
fi

# Outside the repository: a folder that its .gitignore leaves out (build/) gives no sources.
data=$(mktemp -d "${TMPDIR:-/tmp}/orven-bench-training.XXXXXX")
trap 'rm -rf "$data"' EXIT
source="$data/source.c"
tree="$data/tree"
"$build/bin/bench_training_generate" "$source" "$mebibytes"
"$build/bin/bench_training_generate" --tree "$tree" "$tree_mebibytes" "$tree_files"
# Into the page cache, as for every later reader.
cat "$source" >/dev/null
find "$tree" -type f -exec cat {} + >/dev/null
[ "$(rg --files "$tree" | wc -l)" -eq "$tree_files" ] || { echo "rg does not see every file"; exit 1; }

# A keyword that never occurs in the words joined: no run can stop before the end.
for input in "$source" "$tree"; do
  if find "$input" -type f | LC_ALL=C sort | xargs cat | tr -d ' \t\n\v\f\r' | grep -qF FLASHW_ALL; then
    echo "FLASHW_ALL occurs in $input: the training run might stop early"
    exit 1
  fi
done

# Appends "wall user system peak_kib" of one command to a file, its output discarded. The
# wall time is taken to the microsecond here: /usr/bin/time gives hundredths only, a tenth
# of the one-file runs.
measure() {
  local into=$1
  shift
  local start=$EPOCHREALTIME
  /usr/bin/time -f '%U %S %M' -o "$data/time" "$@" >/dev/null
  local end=$EPOCHREALTIME
  echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }') $(cat "$data/time")" \
    >>"$into"
}
cd "$data"
names=(single-training single-sarif single-training1 single-rg tree-training tree-sarif
  tree-training1 tree-rg tree-cat single-before tree-before)
for name in "${names[@]}"; do : >"$data/$name"; done
for _ in $(seq "$repeats"); do
  measure "$data/single-training" "$build/bin/bench_training_run" "$source"
  measure "$data/single-sarif" "$build/bin/bench_training_run" --format sarif "$source"
  measure "$data/single-training1" "$build/bin/bench_training_run" --threads 1 "$source"
  measure "$data/single-rg" rg -F -c -f "$keywords" "$source"
  measure "$data/tree-training" "$build/bin/bench_training_run" "$tree"
  measure "$data/tree-sarif" "$build/bin/bench_training_run" --format sarif "$tree"
  measure "$data/tree-training1" "$build/bin/bench_training_run" --threads 1 "$tree"
  measure "$data/tree-rg" rg -F -c -f "$keywords" "$tree"
  measure "$data/tree-cat" sh -c 'find "$1" -type f -print0 | xargs -0 cat' sh "$tree"
  if [ -n "$before" ]; then
    measure "$data/single-before" "$build/before/bin/bench_training_run" "$source"
    measure "$data/tree-before" "$build/before/bin/bench_training_run" "$tree"
  fi
done

# The best run by wall time: "wall cpu peak_mib".
best() { sort -n "$data/$1" | head -1 | awk '{ printf "%.3f %.2f %.1f", $1, $2 + $3, $4 / 1024 }'; }
row() {
  read -r wall cpu peak <<<"$(best "$2")"
  printf '%-34s %-24s %7s %7s %9s\n' "$1" "$3" "$wall" "$cpu" "$peak"
}
echo "best of $repeats runs, warm page cache, $(nproc) cores; $(wc -l <"$keywords") keywords for rg"
printf '%-34s %-24s %7s %7s %9s\n' input program "wall s" "CPU s" "RSS MiB"
row "one file, $mebibytes MiB" single-training "training (all cores)"
row "" single-sarif "--format sarif (all cores)"
row "" single-training1 "training (1 thread)"
row "" single-rg "rg -F -c -f KEYWORDS FILE"
row "tree, $tree_files files, $tree_mebibytes MiB" tree-training "training (all cores)"
row "" tree-sarif "--format sarif (all cores)"
row "" tree-training1 "training (1 thread)"
row "" tree-rg "rg -F -c -f KEYWORDS DIR"
row "" tree-cat "find | xargs cat"
if [ -n "$before" ]; then
  row "one file, before ($before)" single-before "training (all cores)"
  row "tree, before ($before)" tree-before "training (all cores)"
fi
for input in single tree; do
  read -r t _ tp <<<"$(best "$input-training")"
  read -r r _ _ <<<"$(best "$input-rg")"
  awk -v i="$input" -v t="$t" -v r="$r" -v p="$tp" 'BEGIN {
    printf "%-6s training / rg %.2f (goal at most 0.5), training peak RSS %.1f MiB (goal under 32)\n",
           i, t / r, p }'
done
read -r t _ _ <<<"$(best tree-training)"
read -r c _ _ <<<"$(best tree-cat)"
awk -v t="$t" -v c="$c" 'BEGIN { printf "tree   training / cat %.2f (goal at most 1.0)\n", t / c }'
for input in single tree; do
  read -r t _ _ <<<"$(best "$input-training")"
  read -r f _ fp <<<"$(best "$input-sarif")"
  awk -v i="$input" -v t="$t" -v f="$f" -v p="$fp" 'BEGIN {
    printf "%-6s sarif / html %.2f (goal at most 1.3), sarif peak RSS %.1f MiB (goal under 32)\n",
           i, f / t, p }'
done
echo "no early stop: a keyword of the rules never occurs, so every run reads everything"
