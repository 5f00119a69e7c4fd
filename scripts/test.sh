#!/usr/bin/env bash
# Builds and runs every test: each stage in scripts/test.d runs in name order; all stages
# run even when one fails, and the script fails when any did.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh || exit 1
passed=0
failed=0
failed_names=()
for stage in scripts/test.d/*.sh; do
  name=$(basename "$stage" .sh)
  echo "=== stage $name ==="
  start=$(date +%s)
  if bash "$stage"; then
    passed=$((passed + 1))
    echo "=== stage $name passed in $(($(date +%s) - start)) s ==="
  else
    failed=$((failed + 1))
    failed_names+=("$name")
    echo "=== stage $name FAILED in $(($(date +%s) - start)) s ==="
  fi
done
[ $failed -eq 0 ] || echo "failed stages: ${failed_names[*]}"
echo "stages: $passed passed, $failed failed"
[ $failed -eq 0 ]
