#!/usr/bin/env bash
# Expert-mode benchmark: builds the programs, generates a deterministic 1,000,000-line script,
# then times in one run, on the same script, the floor (open + write + close per pass with
# precomputed lines), the expert run and the plain iostreams version; checks that all three
# logs are byte-identical, and reports the expert run's peak memory.
#   bench/expert/run.sh [LINES]     (BUILD=build folder, default build/default; ROUNDS=3)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build/default}"
lines="${1:-1000000}"
rounds="${ROUNDS:-3}"

cmake --preset default -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target expert_bench_gen expert_bench_floor expert_bench_run \
  expert_bench_iostreams >/dev/null
bin="$build/bin"

work="$(mktemp -d "${TMPDIR:-/tmp}/orven_expert_bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$bin/expert_bench_gen" "$work" "$lines"
mkdir "$work/floor" "$work/expert" "$work/iostreams"
echo "script: $lines lines, $(stat -c %s "$work/script.txt") bytes; log folder on $(df -P "$work" | awk 'NR==2 {print $1}')"

# best wall time of the rounds, in seconds
best() { sort -g "$1" | head -1; }
for ((r = 1; r <= rounds; r++)); do
  for who in floor expert iostreams; do
    rm -f "$work/$who/orven_log.txt"
    case $who in
      floor) cmd=("$bin/expert_bench_floor" "$work/expected.bin") ;;
      expert) cmd=("$bin/expert_bench_run" "$work/script.txt") ;;
      iostreams) cmd=("$bin/expert_bench_iostreams" "$work/script.txt") ;;
    esac
    (cd "$work/$who" && /usr/bin/time -f "%e %M" -o "$work/$who.last" "${cmd[@]}" >/dev/null)
    cut -d' ' -f1 "$work/$who.last" >>"$work/$who.times"
    cut -d' ' -f2 "$work/$who.last" >>"$work/$who.peak"
  done
done

cmp "$work/floor/orven_log.txt" "$work/expert/orven_log.txt"
cmp "$work/floor/orven_log.txt" "$work/iostreams/orven_log.txt"
log_lines=$(grep -c $'\r$' "$work/expert/orven_log.txt" || true)

floor=$(best "$work/floor.times")
expert=$(best "$work/expert.times")
iostreams=$(best "$work/iostreams.times")
peak=$(sort -g "$work/expert.peak" | tail -1)
echo "logs identical: $log_lines log lines each"
echo "best of $rounds rounds (wall seconds):"
awk -v f="$floor" -v e="$expert" -v i="$iostreams" -v p="$peak" 'BEGIN {
  printf "  floor (open+write+close)  %6.2f s\n", f
  printf "  expert run                %6.2f s   %.2fx floor (target <= 1.3x)\n", e, e / f
  printf "  plain iostreams           %6.2f s   %.2fx floor\n", i, i / f
  printf "  expert peak memory        %6.1f MiB (target < 16 MiB)\n", p / 1024
}'
