#!/usr/bin/env bash
# The whole test suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2
