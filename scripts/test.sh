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
budget=1800
declare -A share=([set-up]=240 [10-default]=360 [20-asan]=330 [25-tsan]=120
  [30-windows]=420 [40-fuzz]=120 [50-package]=150)

lines=()
total=0
note() {  # note NAME SECONDS VERDICT [NOTES_FILE]
  local of="no share"
  [ -n "${share[$1]:-}" ] && of=$(printf 'of %4d s' "${share[$1]}")
  local mark=""
  [ -n "${share[$1]:-}" ] && [ "$2" -gt "${share[$1]}" ] && mark="  (over its share)"
  lines+=("$(printf '%-12s %5d s %-10s %s%s' "$1" "$2" "$of" "$3" "$mark")")
  if [ -n "${4:-}" ] && [ -s "$4" ]; then
    while IFS= read -r skip; do lines+=("  $skip"); done <"$4"
  fi
  total=$((total + $2))
}

echo "=== set-up ==="
start=$(date +%s)
bash scripts/install-deps.sh test || exit 1
note set-up $(($(date +%s) - start)) "done"

passed=0
failed=0
failed_names=()
notes=$(mktemp)
trap 'rm -f "$notes"' EXIT
for stage in scripts/test.d/*.sh; do
  name=$(basename "$stage" .sh)
  echo "=== stage $name ==="
  : >"$notes"
  start=$(date +%s)
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
  note "$name" "$seconds" "$verdict" "$notes"
done

echo "=== summary: each stage's time against its share of the CI budget ==="
printf '%s\n' "${lines[@]}"
printf '%-12s %5d s of %4d s\n' total "$total" "$budget"
[ $failed -eq 0 ] || echo "failed stages: ${failed_names[*]}"
echo "stages: $passed passed, $failed failed"
[ $failed -eq 0 ]
