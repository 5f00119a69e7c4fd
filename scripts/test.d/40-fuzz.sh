#!/usr/bin/env bash
# The three libFuzzer targets (training pipeline, expert lines, number reading and writing),
# 60 s each under AddressSanitizer and UndefinedBehaviorSanitizer; ORVEN_FUZZ_SECONDS
# changes the time. Fails when a target finds an input that breaks a check.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash fuzz/run.sh training expert numbers "${ORVEN_FUZZ_SECONDS:-60}"
