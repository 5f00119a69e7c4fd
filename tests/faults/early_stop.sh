#!/usr/bin/env bash
# The early stop of a training run, shown by the bytes it reads (counted by the preloaded
# shim): once the files read whole hold every keyword, a later 64 MiB source is opened but
# not read beyond the chunks already on their way; with the keywords only in the last file,
# every byte is read.
#
# usage: early_stop.sh ORVEN_CLI SHIM SOURCE_ROOT
set -uo pipefail
cli=$(realpath "$1")
shim=$(realpath "$2")
source_root=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

keywords=$source_root/bench/training/keywords.txt
filler() { head -c $((64 << 20)) /dev/zero | tr '\0' 'x'; }
cp "$keywords" keywords.txt
filler >filler.txt
echo >>filler.txt

bytes_read() {  # bytes_read FILE...: what a training run over the files read of them
  local paths=()
  for name in "$@"; do paths+=("$work/$name"); done
  ORVEN_FAULT_ROOT=$work ORVEN_FAULT_REPORT=$work/report LD_PRELOAD=$shim \
    "$cli" training "${paths[@]}" >/dev/null || { echo "the run over $* failed" >&2; exit 1; }
  cut -d' ' -f4 report
}
first=$(bytes_read keywords.txt filler.txt)
last=$(bytes_read filler.txt keywords.txt)  # also counts the readme.txt the run looks at
size=$(($(stat -c %s filler.txt) + $(stat -c %s keywords.txt)))
echo "keywords first: $first bytes read; keywords last: $last of $size"
failures=0
# A chunk is at most 1 MiB and a file has a bounded number of chunks in flight.
[ "$first" -le $((16 << 20)) ] || { echo "FAIL: the run went on reading after every keyword was found"; failures=1; }
[ "$last" -ge "$size" ] || { echo "FAIL: the run with the keywords at the end did not read it all"; failures=1; }
exit $failures
