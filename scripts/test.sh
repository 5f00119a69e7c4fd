#!/usr/bin/env bash
# Installs what the tests need (scripts/install-deps.sh test), then builds and runs every
# test: each stage in scripts/test.d runs in name order; all stages run even when one
# fails, and the script fails when any did. The summary at the end gives each stage's time
# against its share of the CI budget and what the stages skipped, with the reason.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

# Shares of the 30 minutes that `.ci/run` may take on a clean clone with two cores, in
# seconds: the apt set-up of a fresh machine, then each stage. A stage over its share is
# marked in the summary; 1800 - the sum is the headroom for what the shares do not foresee.
# The shares hold the last measured times (a clean clone on an idle two-core machine, the
# 32-bit Windows tests skipped) and a little room for the tests to come.
budget=1800
declare -A share=([set-up]=120 [10-default]=500 [20-asan]=380 [25-tsan]=160
  [30-windows]=350 [40-fuzz]=160 [50-package]=100)

# The CPU seconds (user and system) of the children this shell has waited for: beside the
# wall time, what a stage costs on a machine that others share. `times` runs in this shell
# (in a command substitution it would count the subshell's children, none), and leaves its
# answer in $cpu_now.
times_file=$(mktemp)
cpu_now=0
read_cpu() {
  times >"$times_file"
  cpu_now=$(tail -n 1 "$times_file" | awk '{
    total = 0
    for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); total += t[1] * 60 + t[2] }
    printf "%d", total }')
}
lines=()
total=0
note() {  # note NAME SECONDS CPU_SECONDS VERDICT [NOTES_FILE]
  local of="no share"
  [ -n "${share[$1]:-}" ] && of=$(printf 'of %4d s' "${share[$1]}")
  local mark=""
  [ -n "${share[$1]:-}" ] && [ "$2" -gt "${share[$1]}" ] && mark="  (over its share)"
  lines+=("$(printf '%-12s %5d s %-10s %-7s (CPU %d s)%s' "$1" "$2" "$of" "$4" "$3" "$mark")")
  if [ -n "${5:-}" ] && [ -s "$5" ]; then
    while IFS= read -r skip; do lines+=("  $skip"); done <"$5"
  fi
  total=$((total + $2))
}

echo "=== set-up ==="
start=$(date +%s)
read_cpu
cpu=$cpu_now
bash scripts/install-deps.sh test || exit 1
read_cpu
note set-up $(($(date +%s) - start)) $((cpu_now - cpu)) "done"

passed=0
failed=0
failed_names=()
notes=$(mktemp)
trap 'rm -f "$notes" "$times_file"' EXIT
for stage in scripts/test.d/*.sh; do
  name=$(basename "$stage" .sh)
  echo "=== stage $name ==="
  : >"$notes"
  start=$(date +%s)
  read_cpu
  cpu=$cpu_now
  if ORVEN_STAGE_NOTES="$notes" bash "$stage"; then
    passed=$((passed + 1))
    verdict=passed
  else
    failed=$((failed + 1))
    failed_names+=("$name")
    verdict=FAILED
  fi
  seconds=$(($(date +%s) - start))
  echo "=== stage $name $verdict in $seconds s ==="
  read_cpu
  note "$name" "$seconds" $((cpu_now - cpu)) "$verdict" "$notes"
done

echo "=== summary: each stage's time against its share of the CI budget ==="
printf '%s\n' "${lines[@]}"
printf '%-12s %5d s of %4d s  (load average now: %s)\n' total "$total" "$budget" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
[ $failed -eq 0 ] || echo "failed stages: ${failed_names[*]}"
echo "stages: $passed passed, $failed failed"
[ $failed -eq 0 ]
