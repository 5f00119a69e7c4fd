#!/usr/bin/env bash
# Expert-mode benchmark: builds the programs, generates a deterministic 1,000,000-line script,
# then times in one run, on the same script, the floor (open + write + close per pass with
# precomputed lines), the floor with the per-line lock that runs sharing a log need, the
# expert run and the plain iostreams version; checks that all the logs are byte-identical,
# and reports the expert run's peak memory.
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
mkdir "$work/floor" "$work/locked" "$work/expert" "$work/iostreams"
echo "script: $lines lines, $(stat -c %s "$work/script.txt") bytes; log folder on $(df -P "$work" | awk 'NR==2 {print $1}')"

# best time of the rounds, in seconds (CPU time = user + system, steadier on a busy machine)
best() { sort -g "$1" | head -1; }
for ((r = 1; r <= rounds; r++)); do
  for who in floor locked expert iostreams; do
    rm -f "$work/$who/orven_log.txt"
    case $who in
      floor) cmd=("$bin/expert_bench_floor" "$work/expected.bin") ;;
      locked) cmd=("$bin/expert_bench_floor" "$work/expected.bin" --lock) ;;
      expert) cmd=("$bin/expert_bench_run" "$work/script.txt") ;;
      iostreams) cmd=("$bin/expert_bench_iostreams" "$work/script.txt") ;;
    esac
    (cd "$work/$who" && /usr/bin/time -f "%e %U %S %M" -o "$work/$who.last" "${cmd[@]}" >/dev/null)
    awk '{print $1}' "$work/$who.last" >>"$work/$who.times"
    awk '{print $2 + $3}' "$work/$who.last" >>"$work/$who.cpu"
    awk '{print $4}' "$work/$who.last" >>"$work/$who.peak"
  done
done

cmp "$work/floor/orven_log.txt" "$work/locked/orven_log.txt"
cmp "$work/floor/orven_log.txt" "$work/expert/orven_log.txt"
cmp "$work/floor/orven_log.txt" "$work/iostreams/orven_log.txt"
log_lines=$(grep -c $'\r$' "$work/expert/orven_log.txt" || true)

floor=$(best "$work/floor.times") floor_cpu=$(best "$work/floor.cpu")
locked=$(best "$work/locked.times") locked_cpu=$(best "$work/locked.cpu")
expert=$(best "$work/expert.times") expert_cpu=$(best "$work/expert.cpu")
iostreams=$(best "$work/iostreams.times") iostreams_cpu=$(best "$work/iostreams.cpu")
peak=$(sort -g "$work/expert.peak" | tail -1)
echo "logs identical: $log_lines log lines each"
echo "best of $rounds rounds:            wall             CPU (user+system)"
awk -v f="$floor" -v l="$locked" -v e="$expert" -v i="$iostreams" -v fc="$floor_cpu" \
  -v lc="$locked_cpu" -v ec="$expert_cpu" -v ic="$iostreams_cpu" -v p="$peak" 'BEGIN {
  printf "  floor (open+write+close)  %6.2f s           %6.2f s\n", f, fc
  printf "  floor with flock          %6.2f s  %.2fx    %6.2f s  %.2fx\n", l, l / f, lc, lc / fc
  printf "  expert run                %6.2f s  %.2fx    %6.2f s  %.2fx   (against the floor)\n", e, e / f, ec, ec / fc
  printf "                                     %.2fx             %.2fx   (against the locked floor; target <= 1.3x)\n", e / l, ec / lc
  printf "  plain iostreams           %6.2f s  %.2fx    %6.2f s  %.2fx\n", i, i / f, ic, ic / fc
  printf "  expert peak memory        %6.1f MiB (target < 16 MiB)\n", p / 1024
}'
