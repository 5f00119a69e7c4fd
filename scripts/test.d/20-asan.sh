#!/usr/bin/env bash
# The test suite again under AddressSanitizer and UndefinedBehaviorSanitizer, but for the
# checks labelled plain-only (they run no program of ours, or check only a format).
set -euo pipefail
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2
