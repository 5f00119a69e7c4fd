#!/usr/bin/env bash
# The three libFuzzer targets (training pipeline, expert lines, number reading and writing),
# 20 s each under AddressSanitizer and UndefinedBehaviorSanitizer: the seeds and what the
# build folder's corpus learned so far, then new inputs, within the stage's share of the CI
# budget (longer runs: fuzz/run.sh by hand); ORVEN_FUZZ_SECONDS changes the time. Fails when
# a target finds an input that breaks a check.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash fuzz/run.sh training expert numbers "${ORVEN_FUZZ_SECONDS:-20}"
